#pragma once

#include "viewmodel/state/DiskWork.h"
#include "viewmodel/state/Localizer.h"
#include "viewmodel/state/PublishedObject.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QString>
#include <QStringList>
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
    ORVALINK_PUBLISHED(ActivityState, QString, currentOperationTitle, setCurrentOperationTitle)
    ORVALINK_PUBLISHED(ActivityState, std::optional<QString>, infoMessage, setInfoMessage)
    ORVALINK_PUBLISHED(ActivityState, std::optional<QString>, errorMessage, setErrorMessage)
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

    // The title of the running (or last) operation in both languages: currentOperationTitle holds it
    // in the language of `localizer`, and retitleOperation() follows a change of language. A title
    // published with setCurrentOperationTitle() alone is left as it is.
    void setOperationTitle(const BilingualText& title, const Localizer& localizer)
    {
        m_operationTitle = title;
        setCurrentOperationTitle(localizer.localized(title));
    }
    void retitleOperation(const Localizer& localizer)
    {
        if (!m_operationTitle)
            return;
        const BilingualText& title = *m_operationTitle;
        // Each language shows the title in one of these three forms.
        const QStringList shown{title.zh, title.en, Localizer(UILanguage::bilingual).localized(title)};
        if (shown.contains(m_currentOperationTitle))
            setCurrentOperationTitle(localizer.localized(title));
    }

private:
    DiskWork m_diskWork = DiskWork::none;
    std::optional<BilingualText> m_operationTitle;

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
    void currentOperationTitleChanged();
    void infoMessageChanged();
    void errorMessageChanged();
    void accessRequirementPromptChanged();
    void undoConflictPromptChanged();
    void migrationConflictPromptChanged();
};

} // namespace orvalink
