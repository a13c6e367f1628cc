#pragma once

#include "backend/BackendAuthRecords.h"
#include "backend/BackendFeedbackRecords.h"
#include "backend/BackendSession.h"
#include "backend/MigrationSyncRecords.h"
#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/PublishedObject.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace orvalink {

// The account and its cloud backup: the session, the sign-in requirements, the sync and overview
// figures, the feedback dashboard and the busy flag of each account flow.
class AccountState : public PublishedObject {
    Q_OBJECT

public:
    explicit AccountState(QObject* parent = nullptr) : PublishedObject(parent)
    {
        for (void (AccountState::*flagChanged)() :
             {&AccountState::isSubmittingAuthChanged, &AccountState::isRefreshingAuthRequirementsChanged,
              &AccountState::isRefreshingAuthCaptchaChanged, &AccountState::isSyncingMigrationSnapshotChanged,
              &AccountState::isRefreshingMigrationOverviewChanged,
              &AccountState::isRefreshingFeedbackDashboardChanged,
              &AccountState::isSubmittingFeedbackChanged})
            connect(this, flagChanged, this, &AccountState::noteBackendBusy);
    }

    ORVALINK_PUBLISHED(AccountState, std::optional<BackendSession>, backendSession, setBackendSession)
    ORVALINK_PUBLISHED(AccountState, std::optional<BackendAuthSettings>, authSettings, setAuthSettings)
    ORVALINK_PUBLISHED(AccountState, std::optional<BackendCaptchaChallenge>, authCaptchaChallenge,
                       setAuthCaptchaChallenge)
    ORVALINK_PUBLISHED(AccountState, bool, isSubmittingAuth, setIsSubmittingAuth)
    ORVALINK_PUBLISHED(AccountState, bool, isChangingPassword, setIsChangingPassword)
    ORVALINK_PUBLISHED(AccountState, bool, isRefreshingAuthRequirements, setIsRefreshingAuthRequirements)
    ORVALINK_PUBLISHED(AccountState, bool, isRefreshingAuthCaptcha, setIsRefreshingAuthCaptcha)
    ORVALINK_PUBLISHED(AccountState, bool, isSyncingMigrationSnapshot, setIsSyncingMigrationSnapshot)
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
    // The account sheet's status line. A text set through setBackendFailureStatus() reports a
    // failure until the next text replaces it; either change emits backendStatusMessageChanged().
    const std::optional<BilingualText>& backendStatusMessage() const { return m_backendStatusMessage; }
    bool backendStatusIsFailure() const { return m_backendStatusIsFailure; }
    void setBackendStatusMessage(const std::optional<BilingualText>& text) { setBackendStatus(text, false); }
    void setBackendFailureStatus(const BilingualText& text) { setBackendStatus(text, true); }

    // True while any account flow waits for the service; isBackendBusyChanged() when that changes.
    bool isBackendBusy() const
    {
        return m_isSubmittingAuth || m_isRefreshingAuthRequirements || m_isRefreshingAuthCaptcha ||
               m_isSyncingMigrationSnapshot || m_isRefreshingMigrationOverview ||
               m_isRefreshingFeedbackDashboard || m_isSubmittingFeedback;
    }

private:
    void noteBackendBusy()
    {
        if (isBackendBusy() == m_wasBackendBusy)
            return;
        m_wasBackendBusy = !m_wasBackendBusy;
        Q_EMIT isBackendBusyChanged();
    }

    void setBackendStatus(const std::optional<BilingualText>& text, bool failure)
    {
        if (text == m_backendStatusMessage && failure == m_backendStatusIsFailure)
            return;
        m_backendStatusMessage = text;
        m_backendStatusIsFailure = failure;
        Q_EMIT backendStatusMessageChanged();
    }

    std::optional<BilingualText> m_backendStatusMessage;
    bool m_backendStatusIsFailure = false;
    bool m_wasBackendBusy = false;

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
    void isBackendBusyChanged();
};

} // namespace orvalink
