#pragma once

#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/DiskWork.h"
#include "viewmodel/state/DiskWorkStep.h"
#include "viewmodel/state/PublishedObject.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QString>
#include <optional>

namespace orvalink {

// What runs and what it says: which disk work runs, the progress of the running batch, the info and
// error lines and the prompts that wait for an answer.
class ActivityState : public PublishedObject {
    Q_OBJECT

public:
    explicit ActivityState(QObject* parent = nullptr) : PublishedObject(parent) {}

    ORVALINK_PUBLISHED(ActivityState, bool, isRequestingAdminAuthorization, setIsRequestingAdminAuthorization)
    // A migration or undo batch waits between two items until the hold is lifted (while the window
    // asks whether to close): none of its items runs meanwhile.
    ORVALINK_PUBLISHED(ActivityState, bool, isBatchHeld, setIsBatchHeld)
    ORVALINK_PUBLISHED(ActivityState, qint64, migrationTotalItems, setMigrationTotalItems)
    ORVALINK_PUBLISHED(ActivityState, qint64, migrationProcessedItems, setMigrationProcessedItems)
    ORVALINK_PUBLISHED(ActivityState, qint64, migrationSucceededItems, setMigrationSucceededItems)
    ORVALINK_PUBLISHED(ActivityState, qint64, migrationFailedItems, setMigrationFailedItems)
    ORVALINK_PUBLISHED(ActivityState, qint64, migrationTotalBytes, setMigrationTotalBytes)
    ORVALINK_PUBLISHED(ActivityState, qint64, migrationProcessedBytes, setMigrationProcessedBytes)
    ORVALINK_PUBLISHED(ActivityState, std::optional<QString>, migrationCurrentPath, setMigrationCurrentPath)
    // The long step the running item (or the start-up) is in, beyond its copy; none otherwise.
    ORVALINK_PUBLISHED(ActivityState, std::optional<DiskWorkStep>, diskWorkStep, setDiskWorkStep)
    // The title of the running (or last) operation; empty while none was given.
    ORVALINK_PUBLISHED(ActivityState, BilingualText, currentOperationTitle, setCurrentOperationTitle)
    // The info and error lines, in both languages: the window shows them in the language in force.
    ORVALINK_PUBLISHED(ActivityState, std::optional<BilingualText>, infoMessage, setInfoMessage)
    ORVALINK_PUBLISHED(ActivityState, std::optional<BilingualText>, errorMessage, setErrorMessage)
    ORVALINK_PUBLISHED(ActivityState, std::optional<AccessRequirementPrompt>, accessRequirementPrompt,
                       setAccessRequirementPrompt)
    ORVALINK_PUBLISHED(ActivityState, std::optional<UndoConflictPrompt>, undoConflictPrompt,
                       setUndoConflictPrompt)
    ORVALINK_PUBLISHED(ActivityState, std::optional<MigrationConflictPrompt>, migrationConflictPrompt,
                       setMigrationConflictPrompt)

public:
    // Which disk work runs: a flow sets its kind when it starts (after DiskWorkflows' start rule
    // allowed it) and none when it ends. Emits diskWorkChanged() and the signal of each derived
    // flag below that flips.
    DiskWork diskWork() const { return m_diskWork; }
    void setDiskWork(DiskWork work)
    {
        const DiskWork before = m_diskWork;
        publish(m_diskWork, work, &ActivityState::diskWorkChanged);
        const auto flipped = [&](DiskWork kind) {
            return (before == kind) != (work == kind);
        };
        if (flipped(DiskWork::migration))
            Q_EMIT isMigratingChanged();
        if (flipped(DiskWork::undo))
            Q_EMIT isUndoingChanged();
        if (flipped(DiskWork::linkRepair))
            Q_EMIT isRepairingLinksChanged();
    }
    // The derived flags views read.
    bool isMigrating() const { return m_diskWork == DiskWork::migration; }
    bool isUndoing() const { return m_diskWork == DiskWork::undo; }
    bool isRepairingLinks() const { return m_diskWork == DiskWork::linkRepair; }
    // Any disk work, the start-up's recovery included: nothing starts on paths whose interrupted
    // operation is still being put right.
    bool isDiskWorkBusy() const { return m_diskWork != DiskWork::none; }

private:
    DiskWork m_diskWork = DiskWork::none;

public:
Q_SIGNALS:
    void diskWorkChanged();
    void isMigratingChanged();
    void isUndoingChanged();
    void isRepairingLinksChanged();
    void isRequestingAdminAuthorizationChanged();
    void isBatchHeldChanged();
    void migrationTotalItemsChanged();
    void migrationProcessedItemsChanged();
    void migrationSucceededItemsChanged();
    void migrationFailedItemsChanged();
    void migrationTotalBytesChanged();
    void migrationProcessedBytesChanged();
    void migrationCurrentPathChanged();
    void diskWorkStepChanged();
    void currentOperationTitleChanged();
    void infoMessageChanged();
    void errorMessageChanged();
    void accessRequirementPromptChanged();
    void undoConflictPromptChanged();
    void migrationConflictPromptChanged();
};

} // namespace orvalink
