#pragma once

#include "ui/widgets/CollapsibleSection.h"
#include "ui/widgets/KeyedWidgets.h"

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class FeedbackItemCard;
class MetaChipRow;

// Feedback of the signed-in account: the daily quota, the form, and the latest four reports.
// The form is emptied only after its own send succeeded, so a failed send never loses the text.
// Refreshes itself on the dashboard, the running requests, the texts, its form and its opening; each
// report keeps its card across changes, updated in place.
class FeedbackSection : public CollapsibleSection {
    Q_OBJECT

public:
    explicit FeedbackSection(MainViewModel& viewModel, QWidget* parent = nullptr);

    bool isFeedbackSubmitDisabled() const;

private:
    void buildDashboard(QWidget* body);
    void refresh();
    void refreshDashboard();
    void submitFeedback();
    void finishSend(const QString& sentSubject);

    MainViewModel& m_viewModel;
    QLabel* m_quotaTitle = nullptr;
    QLabel* m_quotaNote = nullptr;
    QLabel* m_categoryLabel = nullptr;
    QComboBox* m_category = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_content = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_refresh = nullptr;
    BusyIndicator* m_busy = nullptr;
    // Shown while there is a dashboard and the section is open: the quota chips, the card of an
    // empty list, the cards of the latest reports.
    QWidget* m_dashboard = nullptr;
    MetaChipRow* m_quotaChips = nullptr;
    QWidget* m_emptyCard = nullptr;
    QLabel* m_emptyText = nullptr;
    KeyedWidgets<FeedbackItemCard> m_itemCards;
    // Set when a dashboard arrives while this section's send runs: the send's own answer.
    bool m_sendAnswered = false;
    bool m_sending = false;
};

} // namespace orvalink::ui
