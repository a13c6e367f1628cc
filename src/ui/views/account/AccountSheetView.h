#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class AccountNotesSection;
class BusyIndicator;
class FeedbackSection;
class GroupPanel;
class MigrationSyncSection;
class PasswordSection;
class RefreshScheduler;
class SignInForm;
class SteadyScrollArea;
class TintedBox;

// The account sheet's content: a plain widget the sheet host shows in a window-modal dialog and the
// guide export renders off screen. Signed out it shows the sign-in form; signed in the account,
// the password, sync and feedback sections. The notes close both. Every answer the sheet's
// requests get shows in its status line near the top, which comes into view with each new answer
// whatever the scroll; an error the line told is told: closing the sheet leaves no alert of it.
class AccountSheetView : public QWidget {
    Q_OBJECT

public:
    // `feedback`: the feedback section opens expanded once the user is signed in.
    enum class InitialFocus { feedback };

    AccountSheetView(MainViewModel& viewModel, std::optional<InitialFocus> initialFocus = std::nullopt,
                     QWidget* parent = nullptr);
    ~AccountSheetView() override;

    // The sheet asks the service for the sign-in requirements when it is first shown and after a
    // sign-out. An off-screen render turns this off before showing the sheet, so it sends nothing.
    void setAppearHooksEnabled(bool enabled) { m_appearHooksEnabled = enabled; }
    bool appearHooksEnabled() const { return m_appearHooksEnabled; }

    // The refresh of the sheet's own parts (header, status line, the panel of the session and which
    // sections show) as a pure function of the state; change signals only schedule it. The sections
    // refresh themselves on the signals of what they show.
    void refresh();
    // Runs every pending refresh of the sheet and its sections now (tests, and before rendering off
    // screen).
    void flushRefresh();

Q_SIGNALS:
    // Close, a finished sign-out, or a sign-in that left a session. The hosting dialog closes too.
    void dismissRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildHeader(QWidget* content);
    void buildStatus(QWidget* content);
    void buildSignedIn(QWidget* content);
    void dismiss();
    void signOut();
    void synchronizeLocalState();
    void handleSessionChange();
    // After a new answer in the status line the sheet shows from its top, whatever the scroll and
    // whatever was kept in place while the line came in above the form.
    void showAnswer();
    // Shows the error or the status message; true when that is a new one.
    bool refreshStatus();
    void scrollToFeedback();

    MainViewModel& m_viewModel;
    std::optional<InitialFocus> m_initialFocus;
    bool m_appearHooksEnabled = true;
    bool m_appeared = false;
    std::optional<QString> m_sessionEmail;
    // What the status line shows now, and whether that is the published error.
    std::optional<BilingualText> m_told;
    bool m_toldError = false;
    RefreshScheduler* m_scheduler = nullptr;
    SteadyScrollArea* m_scroll = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_accountSummary = nullptr;
    BusyIndicator* m_busy = nullptr;
    QPushButton* m_close = nullptr;
    TintedBox* m_status = nullptr;
    QLabel* m_statusIcon = nullptr;
    QLabel* m_statusText = nullptr;
    GroupPanel* m_signedOutPanel = nullptr;
    // Says that an account is optional.
    QLabel* m_guestNote = nullptr;
    SignInForm* m_signInForm = nullptr;
    GroupPanel* m_signedInPanel = nullptr;
    QLabel* m_email = nullptr;
    QPushButton* m_signOut = nullptr;
    PasswordSection* m_password = nullptr;
    MigrationSyncSection* m_sync = nullptr;
    FeedbackSection* m_feedback = nullptr;
    AccountNotesSection* m_notes = nullptr;
};

} // namespace orvalink::ui
