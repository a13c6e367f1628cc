#pragma once

#include <QCoro/QCoroTask>
#include <QSet>
#include <QUuid>

namespace orvalink {

class DiskWorkContext;

// Repairs the links of the whole history one batch per call. Each call continues where the
// previous one stopped (the shared context keeps the position), so pressing again covers the rest; the
// position goes back to the start at the end of the list, on a reload and on a scope change.
// Excluded while a migration, undo or another repair runs. Never throws.
QCoro::Task<> repairBrokenLinks(DiskWorkContext& context);

// Repairs the links of the chosen migrated items. Started also from a row's menu, which stays
// enabled: while other disk work runs it says so in the info line instead. Never throws.
QCoro::Task<> repairMigratedLinks(DiskWorkContext& context, QSet<QUuid> mappingIDs);

} // namespace orvalink
