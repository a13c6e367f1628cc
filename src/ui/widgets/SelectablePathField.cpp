#include "ui/widgets/SelectablePathField.h"

#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/TextStyles.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextDocument>

namespace orvalink::ui {

namespace {

// QLineEdit keeps this much room of its own on either side of the text.
constexpr int kLineEditMargin = 2;

} // namespace

SelectablePathField::SelectablePathField(QWidget* parent, int pixelSize, Placement placement)
    : QLineEdit(parent), m_placement(placement), m_copyText(QStringLiteral("Copy"))
{
    setReadOnly(true);
    setFrame(false);
    if (pixelSize <= 0)
        pixelSize = font().pixelSize() > 0 ? font().pixelSize() : 12;
    setFont(monoFont(pixelSize));
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
    // The request, not the event, so an owner or a test can ask for the menu at a point.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        QMenu* menu = createPathMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(mapToGlobal(position));
    });
    connect(this, &QLineEdit::textChanged, this, [this] {
        m_documentCurrent = false;
        syncToolTip();
    });
    if (m_placement == Placement::Flush) {
        // The line edit's own margins taken back, so that while the user selects, the text stays
        // where the label-like drawing of paintEvent() put it (to the pixel for Latin text).
        setTextMargins(-kLineEditMargin, 0, -kLineEditMargin, 0);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        // Reached by a click, as a selectable label is, not by Tab.
        setFocusPolicy(Qt::ClickFocus);
    }
}

void SelectablePathField::setPath(const QString& path, const QString& shownText)
{
    m_rawPath = path;
    m_hasPath = true;
    if (text() != shownText) {
        setText(shownText);
        setCursorPosition(0);
    }
}

QMenu* SelectablePathField::createPathMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    QAction* copy = menu->addAction(m_copyText);
    copy->setObjectName(QStringLiteral("copyPathAction"));
    copy->setEnabled(!copiedText().isEmpty());
    connect(copy, &QAction::triggered, this, &SelectablePathField::copyPath);
    return menu;
}

QString SelectablePathField::copiedText() const
{
    if (m_hasPath)
        return m_rawPath;
    return hasSelectedText() ? selectedText() : text();
}

void SelectablePathField::copyPath()
{
    const QString copied = copiedText();
    if (!copied.isEmpty())
        QGuiApplication::clipboard()->setText(copied);
}

QSize SelectablePathField::sizeHint() const
{
    if (m_placement == Placement::Inset)
        return QLineEdit::sizeHint();
    // As a one-line label asks: the text's width and the font's height.
    const QMargins frame = contentsMargins();
    return QSize(naturalTextWidth(font(), text()) + frame.left() + frame.right(), minimumSizeHint().height());
}

QSize SelectablePathField::minimumSizeHint() const
{
    if (m_placement == Placement::Inset)
        return QLineEdit::minimumSizeHint();
    const QFontMetrics metrics = fontMetrics();
    const QMargins frame = contentsMargins();
    return QSize(leastElidedWidth(metrics) + frame.left() + frame.right(),
                 metrics.height() + frame.top() + frame.bottom());
}

QRect SelectablePathField::textArea() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    return contents.marginsRemoved(textMargins()).adjusted(kLineEditMargin, 0, -kLineEditMargin, 0);
}

QString SelectablePathField::shownText() const
{
    if (hasFocus())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textArea().width());
}

void SelectablePathField::syncToolTip()
{
    const QString tip = shownText() == text() ? QString() : plainToolTip(text());
    if (toolTip() != tip)
        setToolTip(tip);
}

bool SelectablePathField::event(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ToolTip)
        syncToolTip();
    const bool handled = QLineEdit::event(event);
    if (type == QEvent::FontChange)
        m_documentCurrent = false;
    // What fits follows the field's width and font.
    if (type == QEvent::Resize || type == QEvent::FontChange || type == QEvent::StyleChange ||
        type == QEvent::ContentsRectChange)
        syncToolTip();
    return handled;
}

void SelectablePathField::paintEvent(QPaintEvent* event)
{
    const QString shown = shownText();
    const bool whole = shown == text();
    if (whole && (m_placement == Placement::Inset || hasFocus())) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QColor color = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text);
    const QRect area = textArea();
    if (!whole) {
        painter.setPen(color);
        painter.drawText(area, int(Qt::AlignVCenter | (alignment() & Qt::AlignHorizontal_Mask)), shown);
        return;
    }
    // A flush field shows its whole text as a selectable label does, through a text document whose
    // top is centred: the line edit would set a line of mixed scripts (a Chinese label before the
    // path) a pixel higher.
    if (!m_document) {
        m_document = new QTextDocument(this);
        m_document->setDocumentMargin(0);
    }
    if (!m_documentCurrent) {
        m_document->setDefaultFont(font());
        m_document->setPlainText(shown);
        m_documentCurrent = true;
    }
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, color);
    painter.setClipRect(area);
    painter.translate(area.left(),
                      area.top() + std::max((area.height() - m_document->size().height()) / 2, 0.0));
    m_document->documentLayout()->draw(&painter, context);
}

void SelectablePathField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    syncToolTip();
    update();
}

void SelectablePathField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    syncToolTip();
    update();
}

} // namespace orvalink::ui
