#include "ui/widgets/GroupPanel.h"

#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextStyles.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr int kSymbolSize = 14;

class PanelBox : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor text = palette().color(QPalette::WindowText);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(path, withAlpha(text, 0.04));
        painter.strokePath(path, QPen(withAlpha(text, 0.1), 1));
    }
};

} // namespace

GroupPanel::GroupPanel(QWidget* parent) : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(6);

    m_header = new QWidget(this);
    auto* headerLayout = new QHBoxLayout(m_header);
    headerLayout->setContentsMargins(2, 0, 2, 0);
    headerLayout->setSpacing(6);
    m_symbolLabel = new QLabel(m_header);
    m_symbolLabel->setObjectName(QStringLiteral("groupPanelSymbol"));
    m_symbolLabel->setFixedSize(kSymbolSize, kSymbolSize);
    // A title longer than the group is wide ends in "…" rather than widening the group.
    m_titleLabel = new ElidedLabel(m_header);
    m_titleLabel->setObjectName(QStringLiteral("groupPanelTitle"));
    m_titleLabel->setTextFormat(Qt::PlainText);
    applyTextStyle(m_titleLabel, TextStyle::Headline);
    headerLayout->addWidget(m_symbolLabel);
    headerLayout->addWidget(m_titleLabel);
    headerLayout->addStretch(1);
    outer->addWidget(m_header);

    m_box = new PanelBox(this);
    m_box->setObjectName(QStringLiteral("groupPanelBox"));
    m_contentLayout = new QVBoxLayout(m_box);
    m_contentLayout->setContentsMargins(12, 10, 12, 10);
    m_contentLayout->setSpacing(8);
    outer->addWidget(m_box, 1);
    updateHeader();
}

GroupPanel::GroupPanel(const QString& title, const QString& symbol, QWidget* parent) : GroupPanel(parent)
{
    setTitle(title);
    setSymbol(symbol);
}

QString GroupPanel::title() const
{
    return m_titleLabel->text();
}

void GroupPanel::setTitle(const QString& title)
{
    m_titleLabel->setText(title);
    updateHeader();
}

void GroupPanel::setSymbol(const QString& name)
{
    m_symbol = name;
    updateHeader();
}

void GroupPanel::addHeaderWidget(QWidget* widget, int stretch)
{
    auto* row = static_cast<QHBoxLayout*>(m_header->layout());
    // Before the stretch that closes the row; a widget that stretches takes the room it kept.
    row->insertWidget(row->count() - 1, widget, stretch);
    if (stretch > 0)
        row->setStretch(row->count() - 1, 0);
}

void GroupPanel::setContentVisible(bool visible)
{
    m_box->setVisible(visible);
}

void GroupPanel::setHeaderSpacing(int pixels)
{
    layout()->setSpacing(pixels);
}

void GroupPanel::setCompact()
{
    setHeaderSpacing(3);
    m_contentLayout->setContentsMargins(10, 5, 10, 5);
    m_contentLayout->setSpacing(6);
}

void GroupPanel::changeEvent(QEvent* event)
{
    // The symbol is a pixmap in the text colour: repaint it when the palette changes.
    if (event->type() == QEvent::PaletteChange)
        updateHeader();
    QWidget::changeEvent(event);
}

void GroupPanel::updateHeader()
{
    m_symbolLabel->setVisible(!m_symbol.isEmpty());
    if (!m_symbol.isEmpty()) {
        const QColor tint = palette().color(QPalette::WindowText);
        m_symbolLabel->setPixmap(Symbols::icon(m_symbol, tint).pixmap(kSymbolSize, kSymbolSize));
    }
    m_titleLabel->setVisible(!m_titleLabel->text().isEmpty());
    m_header->setVisible(!m_symbol.isEmpty() || !m_titleLabel->text().isEmpty());
}

} // namespace orvalink::ui
