#include "ui/widgets/ElidedLabel.h"

#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/TextStyles.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

namespace orvalink::ui {

namespace {

const QString kEllipsis(QChar(0x2026));

} // namespace

ElidedLabel::ElidedLabel(QWidget* parent, Qt::TextElideMode mode, int maximumLines)
    : QLabel(parent), m_mode(mode), m_maximumLines(std::max(1, maximumLines))
{
    // Names, paths and server texts may look like markup.
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, m_maximumLines > 1 ? QSizePolicy::Preferred : QSizePolicy::Fixed);
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_mode = mode;
    update();
}

void ElidedLabel::setMaximumLines(int lines)
{
    m_maximumLines = std::max(1, lines);
    setSizePolicy(QSizePolicy::Preferred, m_maximumLines > 1 ? QSizePolicy::Preferred : QSizePolicy::Fixed);
    updateGeometry();
    update();
}

void ElidedLabel::setLeastLines(int lines)
{
    m_leastLines = std::max(1, lines);
    updateGeometry();
}

int ElidedLabel::textWidth() const
{
    const QRect area = contentsRect();
    return std::max(0, area.width() - 2 * margin() - std::max(0, indent()));
}

QStringList ElidedLabel::linesFor(int width, bool* complete) const
{
    const QFontMetrics metrics = fontMetrics();
    QString whole = text();
    if (complete)
        *complete = true;
    if (m_maximumLines == 1) {
        whole.replace(QLatin1Char('\n'), QLatin1Char(' '));
        const QString shown = metrics.elidedText(whole, m_mode, width);
        if (complete)
            *complete = shown == text();
        return {shown};
    }
    whole.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(whole, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        const bool last = line.textStart() + line.textLength() >= whole.size();
        if (!last && lines.size() == m_maximumLines - 1) {
            // The last line allowed takes the rest of its paragraph, cut at its end; what follows
            // a line break stays out, and the ellipsis says so.
            const qsizetype lineBreak = whole.indexOf(QChar::LineSeparator, line.textStart());
            const QString paragraph =
                whole.mid(line.textStart(), lineBreak < 0 ? -1 : lineBreak - line.textStart());
            QString shown = metrics.elidedText(paragraph, Qt::ElideRight, width);
            if (shown == paragraph)
                shown = metrics.elidedText(paragraph + kEllipsis, Qt::ElideRight, width);
            if (complete)
                *complete = false;
            lines.append(shown);
            break;
        }
        // The spaces a line ends with are where it broke; they take no room on screen.
        QString shown = whole.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator);
        while (!shown.isEmpty() && shown.back().isSpace())
            shown.chop(1);
        lines.append(shown);
    }
    layout.endLayout();
    return lines;
}

QString ElidedLabel::shownText() const
{
    return linesFor(textWidth()).join(QLatin1Char('\n'));
}

bool ElidedLabel::isElided() const
{
    bool complete = true;
    linesFor(textWidth(), &complete);
    return !complete;
}

QSize ElidedLabel::sizeHint() const
{
    int widest = 0;
    for (const QString& line : text().split(QLatin1Char('\n')))
        widest = std::max(widest, naturalTextWidth(font(), line));
    if (m_maximumLines == 1)
        widest = naturalTextWidth(font(), QString(text()).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    const QMargins frame = contentsMargins();
    const int extra = 2 * margin() + std::max(0, indent()) + frame.left() + frame.right();
    const int width = widest + extra;
    return QSize(width, m_maximumLines > 1 ? heightForWidth(width) : minimumSizeHint().height());
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const QMargins frame = contentsMargins();
    const int width = leastElidedWidth(metrics) + 2 * margin() + frame.left() + frame.right();
    return QSize(width, metrics.height() + 2 * margin() + frame.top() + frame.bottom());
}

int ElidedLabel::heightForWidth(int width) const
{
    const QFontMetrics metrics = fontMetrics();
    const QMargins frame = contentsMargins();
    const int extra = 2 * margin() + frame.top() + frame.bottom();
    const int inner = width - 2 * margin() - std::max(0, indent()) - frame.left() - frame.right();
    const qsizetype needed = text().isEmpty() ? 1 : linesFor(std::max(1, inner)).size();
    const qsizetype lines = std::max<qsizetype>(needed, std::min(m_leastLines, m_maximumLines));
    return int(lines - 1) * metrics.lineSpacing() + metrics.height() + extra;
}

void ElidedLabel::syncToolTip(bool elided)
{
    const QString wanted = elided ? plainToolTip(text()) : QString();
    if (toolTip() != wanted)
        setToolTip(wanted);
}

bool ElidedLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip || event->type() == QEvent::Resize)
        syncToolTip(isElided());
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* event)
{
    bool complete = true;
    const QStringList lines = linesFor(textWidth(), &complete);
    syncToolTip(!complete);
    // QLabel draws a one-line text that fits, with its selection where there is one.
    if (m_maximumLines == 1 && complete && !text().contains(QLatin1Char('\n'))) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect area =
        contentsRect().adjusted(margin() + std::max(0, indent()), margin(), -margin(), -margin());
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    const QFontMetrics metrics = fontMetrics();
    const int height = int(lines.size() - 1) * metrics.lineSpacing() + metrics.height();
    int top = area.top();
    if (alignment() & Qt::AlignVCenter)
        top += (area.height() - height) / 2;
    else if (alignment() & Qt::AlignBottom)
        top = area.bottom() + 1 - height;
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    for (const QString& line : lines) {
        painter.drawText(QRect(area.left(), top, area.width(), metrics.height()),
                         int(horizontal | Qt::AlignVCenter), line);
        top += metrics.lineSpacing();
    }
}

} // namespace orvalink::ui
