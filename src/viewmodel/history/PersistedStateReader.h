#pragma once

#include "model/LinkMapping.h"
#include "model/LocalHistoryScope.h"
#include "model/LogEntry.h"
#include "model/MigrationTask.h"
#include "viewmodel/flow/FlowTicket.h"

#include <QCoro/QCoroTask>
#include <memory>

namespace orvalink {

class ViewModelContext;

// Brings the published history and storage figures in line with the disk.
//
// The history files and the log are read on the background runner, never on the main thread, and
// line by line: only the newest kRecentLimit records of each file (and how many each holds) come
// back and are published, so neither the window's thread nor memory grows with the history.
class PersistedStateReader {
public:
    static constexpr qint64 kRecentLimit = 300;

    // What one reload read: the newest records of each file, newest first, and their counts.
    struct History {
        QList<MigrationTask> tasks; // newest start first, tasks without a start last
        qint64 taskCount = 0;
        QList<LinkMapping> mappings; // latest activity first
        qint64 mappingCount = 0;
        QList<LogEntry> logs; // newest first
    };

    explicit PersistedStateReader(ViewModelContext& context);
    ~PersistedStateReader();

    // Reads the history of the current scope in the background, then publishes the newest 300
    // tasks (newest start first, tasks without a start last) and mappings (latest activity first;
    // as the migrated items and as the undo history) with the counts of both files, the newest 300
    // log entries (newest first), and the selections of the history panels reduced to what is
    // still listed. Sorts are stable. Only what was appended to the history files since the
    // previous reload is decoded; a rewritten file is read again whole. A file that cannot be read
    // is an empty history.
    //
    // Completes once published, or once its result was dropped: a reload requested later
    // published first, the history scope changed meanwhile, or the owner is closing. The whole-
    // history link repair starts over at once. Never throws.
    QCoro::Task<> reloadPersistedState();
    // True while a reload reads.
    bool isReloading() const { return m_running > 0; }
    // Reloads running now publish nothing (for a state object whose history is set directly).
    void dropRunningReloads() { m_flows.advance(); }
    // No reload publishes any more: the owner is closing.
    void retire() { m_flows.retire(); }

    // Capacity and free space of the disk that holds the home directory and of the target volume.
    // The target figures are 0 unless the effective target root lies on a volume that is really
    // mounted.
    void refreshStorageUsageSnapshot();
    // Lists the volumes afresh, then the storage figures.
    void refreshVolumes();

    // Whose history is loaded: the guest's or the account's of an e-mail address.
    const LocalHistoryScope& localHistoryScope() const;

private:
    struct Sources;

    void publish(const History& history);

    ViewModelContext& m_context;
    // Kept between reloads and shared with the reads running in the background.
    std::shared_ptr<Sources> m_sources;
    FlowTicketSource m_flows;
    quint64 m_requested = 0;
    quint64 m_published = 0;
    int m_running = 0;
};

} // namespace orvalink
