#include "ui/views/common/SheetSupport.h"

#include "ui/widgets/CollapsibleSection.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

QLabel* makeTextLabel(const QString& objectName, TextStyle style, bool secondary, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    applyTextStyle(label, style);
    if (secondary)
        applySecondaryTextColor(label);
    return label;
}

void makeSemibold(QWidget* widget)
{
    QFont font = widget->font();
    font.setWeight(QFont::DemiBold);
    widget->setFont(font);
}

void makeSelectable(QLabel* label)
{
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setCursor(Qt::IBeamCursor);
}

QFrame* makeCardBackground(const QString& objectName, QWidget* parent)
{
    auto* card = new QFrame(parent);
    card->setObjectName(objectName);
    card->setAutoFillBackground(true);
    card->setBackgroundRole(QPalette::Base);
    return card;
}

QProgressBar* makeBusyIndicator(const QString& objectName, QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(objectName);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(48, 8);
    bar->hide();
    return bar;
}

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
    labels.title = makeTextLabel(titleName, TextStyle::Subheadline, false, summary);
    makeSemibold(labels.title);
    labels.note = makeTextLabel(noteName, TextStyle::Caption, true, summary);
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

void clearLayout(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget())
            delete widget;
        else if (QLayout* inner = item->layout())
            clearLayout(inner);
        delete item;
    }
}

} // namespace orvalink::ui
