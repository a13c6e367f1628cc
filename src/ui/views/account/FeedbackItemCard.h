#pragma once

#include "backend/BackendFeedbackRecords.h"

#include <QString>

class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The title of a feedback category in the chosen language (`payment` is shown as other).
QString feedbackCategoryTitle(MainViewModel& viewModel, FeedbackCategory category);

// The title of a status the service reports: the four known ones in the chosen language, any
// other exactly as received, upper-cased.
QString feedbackStatusTitle(MainViewModel& viewModel, const QString& status);

// One report of the account: subject, category, status chip, up to four lines of its text, when
// and with which version it was sent, and the administrators' note.
QWidget* feedbackItemCard(MainViewModel& viewModel, const BackendFeedbackItem& item, QWidget* parent);

} // namespace orvalink::ui
