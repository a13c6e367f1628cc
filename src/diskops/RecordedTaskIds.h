#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QUuid>

namespace orvalink {

// The ids of the tasks in the task files one start-up's recovery writes to: each file is read once,
// and the ids appended meanwhile are added as they are written, so checking a record costs a look-up
// rather than a read of a file that grows with every record. Throws what reading the file throws.
class RecordedTaskIds {
public:
    bool contains(const QString& tasksFile, const QUuid& id);
    void add(const QString& tasksFile, const QUuid& id);

private:
    QSet<QUuid>& idsOf(const QString& tasksFile);

    QHash<QString, QSet<QUuid>> m_ids;
};

} // namespace orvalink
