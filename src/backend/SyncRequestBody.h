#pragma once

#include "model/LinkMapping.h"
#include "model/MigrationTask.h"

#include <QByteArray>
#include <QString>

namespace orvalink::syncwire {

// The upload body written row by row: the same bytes as the compact JSON of makeSyncRequest, built
// without a JSON tree of the whole history, so the history can be read line by line into it off
// the main thread. All mappings are added before the first task.
class SyncRequestBody {
public:
    explicit SyncRequestBody(const QString& deviceFingerprint);

    void addMapping(const LinkMapping& mapping);
    void addTask(const MigrationTask& task);
    qsizetype mappingCount() const { return m_mappingCount; }
    qsizetype taskCount() const { return m_taskCount; }

    // The finished body; the object is spent afterwards.
    QByteArray take();

private:
    void openTasks();

    QByteArray m_bytes;
    qsizetype m_mappingCount = 0;
    qsizetype m_taskCount = 0;
    bool m_tasksOpen = false;
};

} // namespace orvalink::syncwire
