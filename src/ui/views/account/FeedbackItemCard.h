#pragma once

#include "backend/BackendFeedbackRecords.h"
#include "ui/widgets/PlainCard.h"

#include <QString>

class QLabel;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class Chip;
class ElidedLabel;

// The title of a feedback category in the chosen language (`payment` is shown as other).
QString feedbackCategoryTitle(MainViewModel& viewModel, FeedbackCategory category);

// The title of a status the service reports: the four known ones in the chosen language, any
// other exactly as received, upper-cased.
QString feedbackStatusTitle(MainViewModel& viewModel, const QString& status);

// One report of the account: subject, category, status chip, up to four lines of its text, when
// and with which version it was sent, and the administrators' note. The list keeps one card per
// report and hands it the report again at each change. The texts the user and the administrators
// wrote are masked as presentation privacy masks any text (paths, e-mail addresses).
class FeedbackItemCard : public PlainCard {
    Q_OBJECT

public:
    FeedbackItemCard(MainViewModel& viewModel, QWidget* parent = nullptr);

    // Shows `item` in the texts in force now; only what differs from the last one is set anew.
    void setItem(const BackendFeedbackItem& item);

private:
    MainViewModel& m_viewModel;
    QLabel* m_subject = nullptr;
    QLabel* m_category = nullptr;
    Chip* m_status = nullptr;
    ElidedLabel* m_content = nullptr;
    QLabel* m_meta = nullptr;
    QLabel* m_adminNote = nullptr;
};

} // namespace orvalink::ui
