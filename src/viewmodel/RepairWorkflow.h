#pragma once

#include <QCoro/QCoroTask>
#include <QSet>
#include <QUuid>

namespace orvalink {

class MainViewModel;

// Repairs the links of the whole history one batch per call. Each call continues where the
// previous one stopped (MainViewModel keeps the position), so pressing again covers the rest; the
// position goes back to the start at the end of the list, on a reload and on a scope change.
// Excluded while a migration, undo or another repair runs. Never throws.
QCoro::Task<> repairBrokenLinks(MainViewModel& viewModel);

// Repairs the links of the chosen migrated items. Never throws.
QCoro::Task<> repairMigratedLinks(MainViewModel& viewModel, QSet<QUuid> mappingIDs);

} // namespace orvalink
