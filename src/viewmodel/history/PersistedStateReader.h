#pragma once

#include "model/LinkMapping.h"
#include "model/LocalHistoryScope.h"
#include "model/MigrationTask.h"
#include "viewmodel/history/HistoryFileFollower.h"

namespace orvalink {

class ViewModelContext;

// Brings the published history and storage figures in line with the disk.
// Runs on the main thread without suspending.
class PersistedStateReader {
public:
    static constexpr qint64 kRecentLimit = 300;

    explicit PersistedStateReader(ViewModelContext& context);

    // The tasks (newest start first, tasks without a start last) and mappings (latest activity
    // first) of the current history scope, the newest 300 log entries (newest first), and the
    // selections of the history panels reduced to what is still listed. Sorts are stable. Only
    // what was appended to the history files since the previous reload is decoded; a rewritten
    // file is read again whole. A file that cannot be read is an empty history.
    void reloadPersistedState();

    // Capacity and free space of the disk that holds the home directory and of the target volume.
    // The target figures are 0 unless the effective target root lies on a volume that is really
    // mounted.
    void refreshStorageUsageSnapshot();
    // Lists the volumes afresh, then the storage figures.
    void refreshVolumes();

    // Whose history is loaded: the guest's or the account's of an e-mail address.
    const LocalHistoryScope& localHistoryScope() const;

    // Newest first; a task without a start time counts as the distant past. Stable.
    static QList<MigrationTask> sortedTasks(QList<MigrationTask> tasks);
    // By the later of creation and update, newest first. Stable.
    static QList<LinkMapping> sortedMappings(QList<LinkMapping> mappings);

private:
    ViewModelContext& m_context;
    HistoryFileFollower<MigrationTask> m_tasks;
    HistoryFileFollower<LinkMapping> m_mappings;
};

} // namespace orvalink
