#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The chips the migration sync cards share: how many migrated items and history entries a device
// holds.
QStringList recordCountChips(MainViewModel& viewModel, qint64 mappingCount, qint64 taskCount);

// A label and a date in the window's language and date format ("Latest Activity <date>").
QString datedText(MainViewModel& viewModel, const BilingualText& label, const QDateTime& date);

} // namespace orvalink::ui
