#pragma once

#include "diskops/OperationRecovery.h"

#include <QList>
#include <QString>
#include <optional>

namespace orvalink {

class Presentation;

// What the start-up tells the user about operations an earlier run left unfinished.
struct RecoveryTexts {
    std::optional<QString> info;  // what was put right
    std::optional<QString> error; // what was left as found and needs the user
};

RecoveryTexts recoveryTexts(const QList<RecoveredOperation>& recovered, const Presentation& presentation);

} // namespace orvalink
