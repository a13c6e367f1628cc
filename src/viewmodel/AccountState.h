#pragma once

#include "backend/BackendAuthRecords.h"
#include "backend/BackendFeedbackRecords.h"
#include "backend/BackendSession.h"
#include "backend/MigrationSyncRecords.h"
#include "viewmodel/PublishedObject.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace orvalink {

// The account and its cloud backup: the session, the sign-in requirements, the sync and overview
// figures, the feedback dashboard and the busy flag of each account flow.
class AccountState : public PublishedObject {
    Q_OBJECT

public:
    explicit AccountState(QObject* parent = nullptr) : PublishedObject(parent) {}

    ORVALINK_PUBLISHED(AccountState, std::optional<BackendSession>, backendSession, setBackendSession)
    ORVALINK_PUBLISHED(AccountState, std::optional<BackendAuthSettings>, authSettings, setAuthSettings)
    ORVALINK_PUBLISHED(AccountState, std::optional<BackendCaptchaChallenge>, authCaptchaChallenge,
                       setAuthCaptchaChallenge)
    ORVALINK_PUBLISHED(AccountState, bool, isSubmittingAuth, setIsSubmittingAuth)
    ORVALINK_PUBLISHED(AccountState, bool, isChangingPassword, setIsChangingPassword)
    ORVALINK_PUBLISHED(AccountState, bool, isRefreshingAuthRequirements, setIsRefreshingAuthRequirements)
    ORVALINK_PUBLISHED(AccountState, bool, isRefreshingAuthCaptcha, setIsRefreshingAuthCaptcha)
    ORVALINK_PUBLISHED(AccountState, bool, isSyncingMigrationSnapshot, setIsSyncingMigrationSnapshot)
    ORVALINK_PUBLISHED(AccountState, std::optional<QString>, backendStatusMessage, setBackendStatusMessage)
    ORVALINK_PUBLISHED(AccountState, std::optional<QDateTime>, lastMigrationSyncAt, setLastMigrationSyncAt)
    ORVALINK_PUBLISHED(AccountState, bool, isRefreshingMigrationOverview, setIsRefreshingMigrationOverview)
    ORVALINK_PUBLISHED(AccountState, std::optional<QString>, currentMigrationDeviceFingerprint,
                       setCurrentMigrationDeviceFingerprint)
    ORVALINK_PUBLISHED(AccountState, std::optional<BackendMigrationOverview>, migrationAccountOverview,
                       setMigrationAccountOverview)
    ORVALINK_PUBLISHED(AccountState, std::optional<BackendFeedbackDashboard>, feedbackDashboard,
                       setFeedbackDashboard)
    ORVALINK_PUBLISHED(AccountState, bool, isRefreshingFeedbackDashboard, setIsRefreshingFeedbackDashboard)
    ORVALINK_PUBLISHED(AccountState, bool, isSubmittingFeedback, setIsSubmittingFeedback)

public:
    // True while any account flow waits for the service.
    bool isBackendBusy() const
    {
        return m_isSubmittingAuth || m_isRefreshingAuthRequirements || m_isRefreshingAuthCaptcha ||
               m_isSyncingMigrationSnapshot || m_isRefreshingMigrationOverview ||
               m_isRefreshingFeedbackDashboard || m_isSubmittingFeedback;
    }

public:
Q_SIGNALS:
    void backendSessionChanged();
    void authSettingsChanged();
    void authCaptchaChallengeChanged();
    void isSubmittingAuthChanged();
    void isChangingPasswordChanged();
    void isRefreshingAuthRequirementsChanged();
    void isRefreshingAuthCaptchaChanged();
    void isSyncingMigrationSnapshotChanged();
    void backendStatusMessageChanged();
    void lastMigrationSyncAtChanged();
    void isRefreshingMigrationOverviewChanged();
    void currentMigrationDeviceFingerprintChanged();
    void migrationAccountOverviewChanged();
    void feedbackDashboardChanged();
    void isRefreshingFeedbackDashboardChanged();
    void isSubmittingFeedbackChanged();
};

} // namespace orvalink
