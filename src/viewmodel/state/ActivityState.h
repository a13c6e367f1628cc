#pragma once

#include "viewmodel/disk/WorkflowRecords.h"
#include "viewmodel/state/PublishedObject.h"
#include "viewmodel/texts/Localizer.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

// What runs and what it says: the busy flags of the disk workflows, the progress of the running
// batch, the info and error lines and the prompts that wait for an answer.
class ActivityState : public PublishedObject {
    Q_OBJECT

public:
    explicit ActivityState(QObject* parent = nullptr) : PublishedObject(parent) {}

    ORVALINK_PUBLISHED(ActivityState, bool, isMigrating, setIsMigrating)
    ORVALINK_PUBLISHED(ActivityState, bool, isUndoing, setIsUndoing)
    ORVALINK_PUBLISHED(ActivityState, bool, isRepairingLinks, setIsRepairingLinks)
    // The start-up puts right the operations an earlier run left unfinished.
    ORVALINK_PUBLISHED(ActivityState, bool, isRecoveringOperations, setIsRecoveringOperations)
    ORVALINK_PUBLISHED(ActivityState, bool, isRequestingAdminAuthorization, setIsRequestingAdminAuthorization)
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
    // True while a migration, retry, undo, forced restore, link repair or the start-up's recovery runs:
    // these exclude each other, so a repair never replaces a link that an undo is moving, and nothing
    // starts on paths whose interrupted operation is still being put right.
    bool isDiskWorkBusy() const
    {
        return m_isMigrating || m_isUndoing || m_isRepairingLinks || m_isRecoveringOperations;
    }

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
    std::optional<BilingualText> m_operationTitle;

public:
Q_SIGNALS:
    void isMigratingChanged();
    void isUndoingChanged();
    void isRepairingLinksChanged();
    void isRecoveringOperationsChanged();
    void isRequestingAdminAuthorizationChanged();
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
