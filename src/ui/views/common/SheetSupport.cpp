#include "ui/views/common/SheetSupport.h"

#include "ui/widgets/CollapsibleSection.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

void useSummaryWidth(QWidget* summary)
{
    summary->setMinimumWidth(380);
}

SectionSummary makeSectionSummary(CollapsibleSection* section, const QString& titleName,
                                  const QString& noteName)
{
    auto* summary = new QWidget;
    auto* layout = new QVBoxLayout(summary);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    SectionSummary labels;
    labels.title =
        textLabel(summary, titleName, TextStyle::Subheadline, LabelOption::Wrap | LabelOption::Semibold);
    labels.note =
        textLabel(summary, noteName, TextStyle::Caption, LabelOption::Secondary | LabelOption::Wrap);
    layout->addWidget(labels.title);
    layout->addWidget(labels.note);
    useSummaryWidth(summary);
    section->setSummary(summary);
    return labels;
}

void disableReturnButtons(QWidget* root)
{
    for (QPushButton* button : root->findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

} // namespace orvalink::ui
