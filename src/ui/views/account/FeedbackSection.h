#pragma once

#include "backend/BackendFeedbackRecords.h"
#include "model/AppConfig.h"
#include "ui/widgets/CollapsibleSection.h"

#include <optional>
#include <utility>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QVBoxLayout;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class RefreshScheduler;

// Feedback of the signed-in account: the daily quota, the form, and the latest four reports.
// The form is emptied only after its own send succeeded, so a failed send never loses the text.
class FeedbackSection : public CollapsibleSection {
    Q_OBJECT

public:
    FeedbackSection(MainViewModel& viewModel, RefreshScheduler& scheduler, QWidget* parent = nullptr);

    void refresh();
    bool isFeedbackSubmitDisabled() const;

private:
    void submitFeedback();
    void finishSend(const QString& sentSubject);
    void rebuildDashboard();

    MainViewModel& m_viewModel;
    // What the list was built from (dashboard and language), none while it is not shown: it is
    // rebuilt only when that changed, not on every keystroke in the form.
    std::optional<std::pair<BackendFeedbackDashboard, UILanguage>> m_builtFrom;
    QLabel* m_quotaTitle = nullptr;
    QLabel* m_quotaNote = nullptr;
    QLabel* m_categoryLabel = nullptr;
    QComboBox* m_category = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_content = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_refresh = nullptr;
    BusyIndicator* m_busy = nullptr;
    QVBoxLayout* m_dashboardHost = nullptr;
    // Set when a dashboard arrives while this section's send runs: the send's own answer.
    bool m_sendAnswered = false;
    bool m_sending = false;
};

} // namespace orvalink::ui
