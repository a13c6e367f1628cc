#pragma once

#include "model/AppConfig.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

class DiskWorkContext;

// The batch migration of the ticked paths, one after another, with live byte progress, a record of
// each success and failure and a summary. Refuses the whole selection (a message, no disk work)
// when it is empty, holds a parent with its child, or holds paths the safety rules or Smart
// Migration refuse. A failed item never stops the batch. Never throws.
QCoro::Task<> migrateSelectedItems(DiskWorkContext& context);

// The paths the safety rules refuse as sources, in the order given; none while strict mode is off.
QStringList blockedMigrationPaths(const DiskWorkContext& context, const QStringList& paths,
                                  const AppConfig& config);

// The expected bytes of each path: the listed size when above 0, else measured on disk. Stops
// measuring (the rest count 0) once the owner closes.
QCoro::Task<QHash<QString, qint64>> resolveMigrationSizeByPath(DiskWorkContext& context, QStringList paths,
                                                               QHash<QString, qint64> listedSizeByPath);

} // namespace orvalink
