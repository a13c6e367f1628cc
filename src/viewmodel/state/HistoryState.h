#pragma once

#include "model/LinkMapping.h"
#include "model/LogEntry.h"
#include "model/MigrationTask.h"
#include "viewmodel/state/PublishedObject.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace orvalink {

// The migration history as loaded from the history files and the log, what the last runs did,
// and the selections of the history panels.
class HistoryState : public PublishedObject {
    Q_OBJECT

public:
    explicit HistoryState(QObject* parent = nullptr) : PublishedObject(parent) {}

    // The newest tasks and mappings of the history files (at most 300 each), and how many records
    // each file holds in all.
    ORVALINK_PUBLISHED(HistoryState, QList<MigrationTask>, tasks, setTasks)
    ORVALINK_PUBLISHED(HistoryState, qint64, taskCount, setTaskCount)
    ORVALINK_PUBLISHED(HistoryState, QList<LogEntry>, logs, setLogs)
    ORVALINK_PUBLISHED(HistoryState, QList<LinkMapping>, undoHistory, setUndoHistory)
    ORVALINK_PUBLISHED(HistoryState, QList<LinkMapping>, migratedMappings, setMigratedMappings)
    ORVALINK_PUBLISHED(HistoryState, qint64, migratedMappingCount, setMigratedMappingCount)
    // The items the last migration batch (and the retries since) moved, and those that failed and
    // wait for a retry; newest first, emptied when a batch starts, never saved.
    ORVALINK_PUBLISHED(HistoryState, QList<MigrationPathRecord>, recentMigrations, setRecentMigrations)
    ORVALINK_PUBLISHED(HistoryState, QList<FailedMigrationRecord>, recentFailedMigrations,
                       setRecentFailedMigrations)
    ORVALINK_PUBLISHED(HistoryState, QSet<QUuid>, selectedUndoMappingIDs, setSelectedUndoMappingIDs)
    ORVALINK_PUBLISHED(HistoryState, QSet<QUuid>, selectedMigratedMappingIDs, setSelectedMigratedMappingIDs)
    ORVALINK_PUBLISHED(HistoryState, QStringList, lastRestoredPaths, setLastRestoredPaths)
    // The undos of the last run that came home but left entries on the volume; emptied when a run
    // starts, never saved.
    ORVALINK_PUBLISHED(HistoryState, QList<LeftBehindRecord>, undoLeftovers, setUndoLeftovers)
    // What the start-up kept aside while it put right operations an earlier run left unfinished;
    // emptied when a run starts, never saved.
    ORVALINK_PUBLISHED(HistoryState, QList<KeptVersionsRecord>, keptVersions, setKeptVersions)
    // What the last link repair did, until the next run of any disk work; never saved.
    ORVALINK_PUBLISHED(HistoryState, std::optional<LinkRepairReport>, lastLinkRepair, setLastLinkRepair)

public:
    // The records of the history panels whose ids are selected, in list order.
    QList<LinkMapping> selectedUndoMappings() const;
    QList<LinkMapping> selectedMigratedMappings() const;

public:
Q_SIGNALS:
    void tasksChanged();
    void taskCountChanged();
    void logsChanged();
    void undoHistoryChanged();
    void migratedMappingsChanged();
    void migratedMappingCountChanged();
    void recentMigrationsChanged();
    void recentFailedMigrationsChanged();
    void selectedUndoMappingIDsChanged();
    void selectedMigratedMappingIDsChanged();
    void lastRestoredPathsChanged();
    void undoLeftoversChanged();
    void keptVersionsChanged();
    void lastLinkRepairChanged();
};

} // namespace orvalink
