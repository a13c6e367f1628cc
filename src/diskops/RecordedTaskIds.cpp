#include "diskops/RecordedTaskIds.h"

#include "model/MigrationTask.h"
#include "store/JSONLStore.h"

namespace orvalink {

bool RecordedTaskIds::contains(const QString& tasksFile, const QUuid& id)
{
    return idsOf(tasksFile).contains(id);
}

void RecordedTaskIds::add(const QString& tasksFile, const QUuid& id)
{
    idsOf(tasksFile).insert(id);
}

QSet<QUuid>& RecordedTaskIds::idsOf(const QString& tasksFile)
{
    if (const auto known = m_ids.find(tasksFile); known != m_ids.end())
        return *known;
    QSet<QUuid> ids;
    JSONLStore::forEachRecord<MigrationTask>(tasksFile,
                                             [&](const MigrationTask& task) { ids.insert(task.id); });
    return *m_ids.insert(tasksFile, std::move(ids));
}

} // namespace orvalink
