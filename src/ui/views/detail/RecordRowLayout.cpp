#include "ui/views/detail/RecordRowLayout.h"

#include "ui/widgets/TextStyles.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QWidget>

namespace orvalink::ui {

namespace {

constexpr int kRecordPadding = 8;
constexpr int kButtonSpacing = 6; // between the buttons of a flowing line, across and down
constexpr int kActionSpacing = 8; // between a failure's remedy and its folder buttons
constexpr int kRecordChipPaddingH = 6;
constexpr int kChipPaddingV = 2;
constexpr QColor kRecordGreen(52, 199, 89);
constexpr QColor kRed(255, 59, 48);
constexpr QColor kOrange(255, 149, 0);

// The lines of a row, top to bottom inside its padding, `spacing` apart; the spacing of the row is
// also the gap between the items of its header line.
class LineStack {
public:
    LineStack(const QRect& bounds, int spacing)
        : m_bounds(bounds), m_spacing(spacing), m_y(bounds.top() + kRecordPadding)
    {}

    int left() const { return m_bounds.left() + kRecordPadding; }
    int width() const { return std::max(0, m_bounds.width() - 2 * kRecordPadding); }
    int spacing() const { return m_spacing; }

    QRect take(int height)
    {
        if (m_lines++ > 0)
            m_y += m_spacing;
        const QRect line(left(), m_y, width(), height);
        m_y += height;
        return line;
    }

    QRect frame() const
    {
        return QRect(m_bounds.left(), m_bounds.top(), m_bounds.width(),
                     m_y + kRecordPadding - m_bounds.top());
    }

private:
    QRect m_bounds;
    int m_spacing;
    int m_y;
    int m_lines = 0;
};

RecordRowPart textPart(const QString& name, const QString& text, const QFont& font, const QColor& color,
                       Qt::TextElideMode elide = Qt::ElideNone)
{
    RecordRowPart part;
    part.name = name;
    part.text = text;
    part.font = font;
    part.color = color;
    part.elide = elide;
    return part;
}

// A path line across `line`: the label (if any) and the shown path, the raw path for its menu.
RecordRowPart pathPart(const QString& name, const QString& text, const QString& rawPath, const QFont& font,
                       const QColor& color, const QRect& line)
{
    RecordRowPart part = textPart(name, text, font, color, Qt::ElideMiddle);
    part.kind = RecordRowPart::Kind::path;
    part.path = rawPath;
    part.rect = line;
    return part;
}

RecordRowPart buttonPart(const RecordRowMetrics& metrics, const QString& name, const QString& text,
                         bool enabled = true)
{
    RecordRowPart part = textPart(name, text, metrics.button(), QColor());
    part.kind = RecordRowPart::Kind::button;
    part.rect.setSize(metrics.buttonSize(text));
    part.enabled = enabled;
    return part;
}

// Places `buttons` (sized) in lines from the top of `area`, each line pushed to its right edge, a
// button that does not fit beginning the next line; returns the height used.
int flowRight(QList<RecordRowPart>& buttons, const QRect& area)
{
    int y = area.top();
    qsizetype lineStart = 0;
    int lineWidth = 0;
    int lineHeight = 0;
    const auto finishLine = [&](qsizetype end) {
        int x = area.left() + std::max(0, area.width() - lineWidth);
        for (qsizetype i = lineStart; i < end; ++i) {
            buttons[i].rect.moveTo(x, y);
            x += buttons[i].rect.width() + kButtonSpacing;
        }
        y += lineHeight + kButtonSpacing;
        lineStart = end;
        lineWidth = 0;
        lineHeight = 0;
    };
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const QSize size = buttons.at(i).rect.size();
        if (i > lineStart && lineWidth + kButtonSpacing + size.width() > area.width())
            finishLine(i);
        lineWidth += (i > lineStart ? kButtonSpacing : 0) + size.width();
        lineHeight = std::max(lineHeight, size.height());
    }
    if (lineStart < buttons.size())
        finishLine(buttons.size());
    return y == area.top() ? 0 : y - kButtonSpacing - area.top();
}

// The date at the right edge of a header line, as high as the line.
RecordRowPart datePart(const QString& text, const QRect& head, const RecordRowMetrics& metrics)
{
    const QFont caption = metrics.caption();
    RecordRowPart date = textPart(QStringLiteral("recordDate"), text, caption, metrics.secondaryText());
    const int width = naturalTextWidth(caption, text);
    date.rect = QRect(head.right() + 1 - width, head.top(), width, head.height());
    return date;
}

// The name of the record's folder; it loses its middle where it does not fit.
RecordRowPart namePart(const QString& text, const RecordRowMetrics& metrics)
{
    return textPart(QStringLiteral("recordName"), text, metrics.caption(), metrics.text(), Qt::ElideMiddle);
}

QRect centredIn(const QRect& line, int x, const QSize& size)
{
    return QRect(QPoint(x, line.top() + (line.height() - size.height()) / 2), size);
}

// A header line of `lines`: the name at its natural width (giving way first), the status chip
// `badgeName` in `badgeColor` after it, the date at the right edge, everything centred on the line.
QList<RecordRowPart> statusHeader(LineStack& lines, const QString& name, const QString& badgeName,
                                  const QString& badgeText, const QColor& badgeColor, const QString& dateText,
                                  const RecordRowMetrics& metrics)
{
    const QFont caption = metrics.caption();
    const int captionHeight = QFontMetrics(caption).height();
    const QSize chipSize = metrics.chipSize(badgeText);
    const QRect head = lines.take(std::max(captionHeight, chipSize.height()));
    const RecordRowPart date = datePart(dateText, head, metrics);
    const int least = leastElidedWidth(QFontMetrics(caption));
    const int room = head.width() - chipSize.width() - date.rect.width() - 2 * lines.spacing();
    const int nameWidth = std::min(naturalTextWidth(caption, name), std::max(least, room));
    RecordRowPart title = namePart(name, metrics);
    title.rect = centredIn(head, head.left(), QSize(nameWidth, captionHeight));
    RecordRowPart badge = textPart(badgeName, badgeText, metrics.chip(), badgeColor);
    badge.kind = RecordRowPart::Kind::chip;
    badge.rect = centredIn(head, title.rect.right() + 1 + lines.spacing(), chipSize);
    return {title, badge, date};
}

// A path line that wraps rather than lose its middle, where that names what the user has to find
// (the volume a target lies on).
RecordRowPart wrappedPathPart(const QString& name, const QString& text, const QString& rawPath,
                              LineStack& lines, const RecordRowMetrics& metrics)
{
    const QFont mono = metrics.mono(10);
    RecordRowPart part = pathPart(name, text, rawPath, mono, metrics.secondaryText(), QRect());
    part.elide = Qt::ElideNone;
    const int pathHeight = metrics.lineEditHeight(mono);
    const int wrapped = QFontMetrics(mono)
                            .boundingRect(QRect(0, 0, std::max(1, lines.width() - 4), 2000),
                                          Qt::AlignLeft | Qt::TextWrapAnywhere, text)
                            .height();
    part.rect = lines.take(std::max(pathHeight, wrapped + pathHeight - QFontMetrics(mono).height()));
    return part;
}

// A text over as many lines as it needs across the row.
RecordRowPart wrappedTextPart(const QString& name, const QString& text, const QFont& font,
                              const QColor& color, LineStack& lines)
{
    RecordRowPart part = textPart(name, text, font, color);
    part.kind = RecordRowPart::Kind::wrapped;
    part.rect =
        lines.take(QFontMetrics(font)
                       .boundingRect(QRect(0, 0, lines.width(), 2000), Qt::AlignLeft | Qt::TextWordWrap, text)
                       .height());
    return part;
}

// The action line of `row`: the `remedy` (at most one button, sized) at the left; the folder
// buttons `opens` keep to the right edge, one below the other where the row is narrow.
void appendActions(RecordRow& row, LineStack& lines, QList<RecordRowPart> remedy, QList<RecordRowPart> opens)
{
    const int remedyWidth = remedy.isEmpty() ? 0 : remedy.first().rect.width() + kActionSpacing;
    const QRect area(lines.left() + remedyWidth, 0, std::max(0, lines.width() - remedyWidth), 0);
    const int opensHeight = flowRight(opens, area);
    const int remedyHeight = remedy.isEmpty() ? 0 : remedy.first().rect.height();
    const QRect actions = lines.take(std::max(opensHeight, remedyHeight));
    for (RecordRowPart& button : remedy) {
        button.rect = centredIn(actions, actions.left(), button.rect.size());
        row.parts.append(button);
    }
    for (RecordRowPart& button : opens) {
        button.rect.translate(0, actions.top());
        row.parts.append(button);
    }
}

} // namespace

QRect RecordRowPart::textRect() const
{
    return kind == Kind::path ? rect.adjusted(2, 0, -2, 0) : rect;
}

QString RecordRowPart::shownText() const
{
    if (elide == Qt::ElideNone)
        return text;
    const QString line = QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QFontMetrics(font).elidedText(line, elide, textRect().width());
}

const RecordRowPart* RecordRow::part(const QString& name) const
{
    for (const RecordRowPart& candidate : parts) {
        if (candidate.name == name)
            return &candidate;
    }
    return nullptr;
}

const RecordRowPart* RecordRow::partAt(const QPoint& point) const
{
    for (const RecordRowPart& candidate : parts) {
        if (candidate.rect.contains(point))
            return &candidate;
    }
    return nullptr;
}

RecordRowMetrics::RecordRowMetrics(const QFont& base, const QPalette& palette, const QWidget* widget)
    : m_base(base), m_palette(palette), m_widget(widget)
{}

QColor RecordRowMetrics::text() const
{
    return m_palette.color(QPalette::WindowText);
}

QColor RecordRowMetrics::secondaryText() const
{
    return secondaryTextColor(m_palette);
}

QFont RecordRowMetrics::caption() const
{
    return styledFont(TextStyle::Caption, m_base);
}

QFont RecordRowMetrics::chip() const
{
    QFont font = caption();
    font.setWeight(QFont::Medium);
    return font;
}

QFont RecordRowMetrics::mono(int pixelSize) const
{
    return monoFont(pixelSize);
}

QFont RecordRowMetrics::button() const
{
    return styledFont(TextStyle::Subheadline, m_base);
}

QStyle* RecordRowMetrics::style() const
{
    return m_widget ? m_widget->style() : QApplication::style();
}

int RecordRowMetrics::lineEditHeight(const QFont& font) const
{
    // As a line edit without frame or text margins measures itself.
    const QFontMetrics metrics(font);
    QStyleOptionFrame option;
    option.lineWidth = 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    option.features = QStyleOptionFrame::None;
    const int icon = style()->pixelMetric(QStyle::PM_SmallIconSize);
    const int height = std::max(metrics.height(), std::max(14, icon - 2)) + 2;
    const int width = metrics.horizontalAdvance(QLatin1Char('x')) * 17 + 4;
    return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, height)).height();
}

QSize RecordRowMetrics::buttonSize(const QString& text) const
{
    // As a push button without icon or menu measures itself.
    QStyleOptionButton option;
    option.fontMetrics = QFontMetrics(button());
    option.text = text;
    const QSize contents =
        option.fontMetrics.size(Qt::TextShowMnemonic, text.isEmpty() ? QStringLiteral("XXXX") : text);
    option.rect.setSize(contents);
    return style()->sizeFromContents(QStyle::CT_PushButton, &option, contents);
}

QSize RecordRowMetrics::chipSize(const QString& text) const
{
    const QFontMetrics metrics(chip());
    return QSize(metrics.horizontalAdvance(text) + 2 * kRecordChipPaddingH,
                 metrics.height() + 2 * kChipPaddingV);
}

RecordRow layoutMigratedRecord(const MigratedRecordTexts& texts, const QRect& bounds,
                               const RecordRowMetrics& metrics)
{
    const QFont caption = metrics.caption();
    const QFont mono = metrics.mono(10);
    const QColor secondary = metrics.secondaryText();
    LineStack lines(bounds, 4);
    RecordRow row;
    row.tint = metrics.text();

    // The name takes what the date leaves.
    const QRect head = lines.take(QFontMetrics(caption).height());
    const RecordRowPart date = datePart(texts.date, head, metrics);
    RecordRowPart name = namePart(texts.name, metrics);
    name.rect = QRect(head.left(), head.top(), std::max(0, date.rect.left() - lines.spacing() - head.left()),
                      head.height());
    row.parts = {name, date};

    const int pathHeight = metrics.lineEditHeight(mono);
    row.parts.append(pathPart(QStringLiteral("recordTarget"), texts.target, texts.targetPath, mono, secondary,
                              lines.take(pathHeight)));
    row.parts.append(pathPart(QStringLiteral("recordUndoReturn"), texts.undoReturn, texts.sourcePath, mono,
                              secondary, lines.take(pathHeight)));
    row.frame = lines.frame();
    return row;
}

RecordRow layoutRestoredRecord(const RestoredRecordTexts& texts, const QRect& bounds,
                               const RecordRowMetrics& metrics)
{
    const QFont mono = metrics.mono(11);
    LineStack lines(bounds, 6);
    RecordRow row;
    row.tint = kRecordGreen;
    row.parts.append(pathPart(QStringLiteral("restoredPath"), texts.shownPath, texts.path, mono,
                              metrics.secondaryText(), lines.take(metrics.lineEditHeight(mono))));

    QList<RecordRowPart> buttons{buttonPart(metrics, QStringLiteral("copyPathButton"), texts.copy),
                                 buttonPart(metrics, QStringLiteral("openInSidebarButton"), texts.open),
                                 buttonPart(metrics, QStringLiteral("revealButton"), texts.reveal)};
    const QRect area(lines.left(), 0, lines.width(), 0);
    const int height = flowRight(buttons, area);
    const QRect line = lines.take(height);
    for (RecordRowPart& button : buttons)
        button.rect.translate(0, line.top());
    row.parts.append(buttons);
    row.frame = lines.frame();
    return row;
}

RecordRow layoutFailedRecord(const FailedRecordTexts& texts, const QRect& bounds,
                             const RecordRowMetrics& metrics)
{
    const QFont mono = metrics.mono(10);
    const QColor secondary = metrics.secondaryText();
    LineStack lines(bounds, 4);
    RecordRow row;
    row.tint = kRed;
    row.alpha = 0.07;

    row.parts = statusHeader(lines, texts.name, QStringLiteral("failedStatusBadge"), texts.badge, kRed,
                             texts.date, metrics);
    row.parts.append(pathPart(QStringLiteral("failedSource"), texts.source, texts.sourcePath, mono, secondary,
                              lines.take(metrics.lineEditHeight(mono))));
    // Where the data was to go names the volume in its middle.
    if (!texts.plannedTarget.isEmpty())
        row.parts.append(wrappedPathPart(QStringLiteral("failedPlannedTarget"), texts.plannedTarget,
                                         texts.targetPath, lines, metrics));
    row.parts.append(
        wrappedTextPart(QStringLiteral("failedReason"), texts.reason, metrics.caption(), kRed, lines));

    QList<RecordRowPart> remedy;
    if (texts.remedy == FailureRemedy::forceMigration)
        remedy.append(
            buttonPart(metrics, QStringLiteral("forceMigrateButton"), texts.remedyText, texts.remedyEnabled));
    else if (texts.remedy == FailureRemedy::terminateHoldersAndRetry)
        remedy.append(buttonPart(metrics, QStringLiteral("terminateRetryButton"), texts.remedyText,
                                 texts.remedyEnabled));
    QList<RecordRowPart> opens{buttonPart(metrics, QStringLiteral("openSourceButton"), texts.openSource)};
    if (!texts.openTarget.isEmpty())
        opens.append(buttonPart(metrics, QStringLiteral("openTargetButton"), texts.openTarget));
    appendActions(row, lines, remedy, opens);
    row.frame = lines.frame();
    return row;
}

RecordRow layoutLeftBehindRecord(const LeftBehindRecordTexts& texts, const QRect& bounds,
                                 const RecordRowMetrics& metrics)
{
    const QFont mono = metrics.mono(10);
    const QColor secondary = metrics.secondaryText();
    LineStack lines(bounds, 4);
    RecordRow row;
    row.tint = kOrange;
    row.parts = statusHeader(lines, texts.name, QStringLiteral("leftBehindBadge"), texts.badge, kOrange,
                             texts.date, metrics);
    row.parts.append(pathPart(QStringLiteral("leftBehindSource"), texts.source, texts.sourcePath, mono,
                              secondary, lines.take(metrics.lineEditHeight(mono))));
    // Where the rest stayed names the volume in its middle.
    row.parts.append(
        wrappedPathPart(QStringLiteral("leftBehindTarget"), texts.stayed, texts.targetPath, lines, metrics));
    row.parts.append(wrappedTextPart(QStringLiteral("leftBehindAdvice"), texts.advice, metrics.caption(),
                                     metrics.text(), lines));
    QList<RecordRowPart> remedy;
    if (!texts.appendRestore.isEmpty())
        remedy.append(buttonPart(metrics, QStringLiteral("appendRestoreButton"), texts.appendRestore,
                                 texts.appendEnabled));
    appendActions(row, lines, remedy,
                  {buttonPart(metrics, QStringLiteral("openSourceButton"), texts.openSource),
                   buttonPart(metrics, QStringLiteral("openTargetButton"), texts.openTarget)});
    row.frame = lines.frame();
    return row;
}

RecordRow layoutLinkRecord(const LinkRecordTexts& texts, const QRect& bounds, const RecordRowMetrics& metrics)
{
    const QFont mono = metrics.mono(10);
    const QColor secondary = metrics.secondaryText();
    const QColor status = texts.repaired ? kRecordGreen : kRed;
    LineStack lines(bounds, 4);
    RecordRow row;
    row.tint = status;
    row.alpha = texts.repaired ? 0.08 : 0.07;
    row.parts = statusHeader(lines, texts.name, QStringLiteral("linkStatusBadge"), texts.badge, status,
                             texts.date, metrics);
    const int pathHeight = metrics.lineEditHeight(mono);
    row.parts.append(pathPart(QStringLiteral("recordLink"), texts.link, texts.sourcePath, mono, secondary,
                              lines.take(pathHeight)));
    row.parts.append(pathPart(QStringLiteral("recordLinkTarget"), texts.target, texts.targetPath, mono,
                              secondary, lines.take(pathHeight)));
    row.frame = lines.frame();
    return row;
}

} // namespace orvalink::ui
