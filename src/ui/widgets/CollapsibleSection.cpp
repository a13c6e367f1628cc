#include "ui/widgets/CollapsibleSection.h"

#include "ui/widgets/Motion.h"
#include "ui/widgets/RevealAnimation.h"
#include "ui/widgets/TextStyles.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {
constexpr int kAnimationMs = 180;
}

CollapsibleSection::CollapsibleSection(QWidget* parent) : GroupPanel(parent)
{
    contentLayout()->setSpacing(12);

    auto* row = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(12);
    m_summaryHost = new QWidget(row);
    m_summaryHost->setObjectName(QStringLiteral("collapsibleSummary"));
    auto* summaryLayout = new QVBoxLayout(m_summaryHost);
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->addWidget(m_summaryHost, 0, Qt::AlignTop);
    rowLayout->addStretch(1);
    m_toggle = new QPushButton(row);
    m_toggle->setObjectName(QStringLiteral("collapsibleToggle"));
    applyTextStyle(m_toggle, TextStyle::Subheadline);
    rowLayout->addWidget(m_toggle, 0, Qt::AlignTop);
    contentLayout()->addWidget(row);

    m_bodyHost = new QWidget(this);
    m_bodyHost->setObjectName(QStringLiteral("collapsibleBody"));
    auto* bodyLayout = new QVBoxLayout(m_bodyHost);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(12);
    auto* divider = new QFrame(m_bodyHost);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    applyTextColor(divider, withAlpha(palette().color(QPalette::WindowText), 0.15));
    bodyLayout->addWidget(divider);
    m_bodySlot = new QWidget(m_bodyHost);
    auto* slotLayout = new QVBoxLayout(m_bodySlot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->addWidget(m_bodySlot);
    contentLayout()->addWidget(m_bodyHost);
    m_bodyHost->hide();

    m_reveal = new RevealAnimation(m_bodyHost, kAnimationMs, this);
    connect(m_toggle, &QPushButton::clicked, this, &CollapsibleSection::toggleFromButton);
    updateToggleText();
}

void CollapsibleSection::replaceChild(QWidget* host, QPointer<QWidget>& slot, QWidget* replacement)
{
    delete slot.data();
    slot = replacement;
    if (replacement)
        host->layout()->addWidget(replacement);
}

void CollapsibleSection::setSummary(QWidget* summary)
{
    replaceChild(m_summaryHost, m_summary, summary);
}

void CollapsibleSection::setBody(QWidget* body)
{
    replaceChild(m_bodySlot, m_body, body);
}

void CollapsibleSection::setToggleTexts(const QString& expandText, const QString& collapseText)
{
    m_expandText = expandText;
    m_collapseText = collapseText;
    updateToggleText();
}

void CollapsibleSection::setExpanded(bool expanded)
{
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    applyExpanded(false);
    Q_EMIT expandedChanged(m_expanded);
}

void CollapsibleSection::toggleFromButton()
{
    m_expanded = !m_expanded;
    applyExpanded(true);
    Q_EMIT expandedChanged(m_expanded);
}

void CollapsibleSection::applyExpanded(bool animate)
{
    updateToggleText();
    m_reveal->setShown(m_expanded, animate);
}

void CollapsibleSection::updateToggleText()
{
    m_toggle->setText(m_expanded ? m_collapseText : m_expandText);
}

} // namespace orvalink::ui
