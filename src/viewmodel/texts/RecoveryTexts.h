#pragma once

#include "diskops/RecoveredOperation.h"
#include "viewmodel/state/BilingualText.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

class Presentation;

// What the start-up tells the user about operations an earlier run left unfinished.
struct RecoveryTexts {
    std::optional<BilingualText> info;  // what was put right
    std::optional<BilingualText> error; // what was left as found, or waits, and needs the user
};

RecoveryTexts recoveryTexts(const QList<RecoveredOperation>& recovered, const Presentation& presentation);

// What the start-up kept aside while it put an operation right: the entries that changed after
// the copy and were kept, and where the versions they replaced were kept; none when nothing was.
std::optional<BilingualText> keptVersionsText(const QStringList& olderVersions, const QStringList& keptPaths,
                                              const Presentation& presentation);

// Of the staged original of the migration of `sourcePath`, what programs (`holders`) still held, so
// that the start-up left it where it is for a later start; none when nothing was.
std::optional<BilingualText> heldFilesText(const QString& sourcePath, const QStringList& heldPaths,
                                           const QStringList& holders, const Presentation& presentation);

// A migration that was being taken back when the application stopped, and that the start-up
// completed instead: where the data is now and that the user's path leads there.
BilingualText completedInsteadText(const QString& sourcePath, const QString& targetPath,
                                   const Presentation& presentation);

// The line shown while the start-up puts right the operations of `sourcePaths`: their folder names.
BilingualText recoveryInProgressText(const QStringList& sourcePaths, const Presentation& presentation);

} // namespace orvalink
