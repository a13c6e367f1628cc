#include "LayoutCheck.h"

#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/ElidingComboBox.h"
#include "ui/widgets/PlainToolTip.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTextDocument>
#include <QToolButton>
#include <cmath>

namespace orvalink::test {

namespace {

// A style option with the widget's own state, for the style's geometry questions.
class ButtonOption : public QStyleOptionButton {
public:
    explicit ButtonOption(const QAbstractButton& button)
    {
        initFrom(&button);
        text = button.text();
        icon = button.icon();
        iconSize = button.iconSize();
    }
};

QString describe(const QWidget& widget)
{
    QString name = QString::fromLatin1(widget.metaObject()->className());
    if (!widget.objectName().isEmpty())
        name += QLatin1Char('#') + widget.objectName();
    for (const QWidget* up = widget.parentWidget(); up; up = up->parentWidget()) {
        if (!up->objectName().isEmpty() && !up->objectName().startsWith(QLatin1String("qt_"))) {
            name += QStringLiteral(" in ") + up->objectName();
            break;
        }
    }
    return name;
}

QString quoted(const QString& text)
{
    return QStringLiteral(" \"") + text.left(60) + QStringLiteral("\"");
}

// The width a label's text takes on one line.
int labelTextWidth(const QLabel& label)
{
    const bool rich = label.textFormat() == Qt::RichText ||
                      (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
    if (rich) {
        QTextDocument document;
        document.setDefaultFont(label.font());
        document.setDocumentMargin(0);
        document.setHtml(label.text());
        return int(std::ceil(document.idealWidth()));
    }
    int widest = 0;
    for (const QString& line : label.text().split(QLatin1Char('\n')))
        widest = std::max(widest, label.fontMetrics().horizontalAdvance(line));
    return widest;
}

// An eliding label shows what fits and carries the whole text in its tool tip.
void checkElidedLabel(const ui::ElidedLabel& label, QStringList& faults)
{
    const QStringList lines = label.shownText().split(QLatin1Char('\n'));
    const int width = label.contentsRect().width() - 2 * label.margin();
    for (const QString& line : lines) {
        if (label.fontMetrics().horizontalAdvance(line) > width)
            faults.append(describe(label) + quoted(line) +
                          QStringLiteral(": elided line of %2 px wider than %1 px")
                              .arg(width)
                              .arg(label.fontMetrics().horizontalAdvance(line)));
    }
    if (label.isElided() && label.toolTip() != ui::plainToolTip(label.text()))
        faults.append(describe(label) + quoted(label.text()) +
                      QStringLiteral(": shown as \"%1\" without its tool tip").arg(label.shownText()));
    const int height =
        int(lines.size() - 1) * label.fontMetrics().lineSpacing() + label.fontMetrics().height();
    if (height > label.contentsRect().height())
        faults.append(
            describe(label) + quoted(label.text()) +
            QStringLiteral(": needs %1 px height, has %2").arg(height).arg(label.contentsRect().height()));
}

void checkLabel(const QLabel& label, QStringList& faults)
{
    if (label.text().isEmpty())
        return;
    if (const auto* elided = qobject_cast<const ui::ElidedLabel*>(&label)) {
        checkElidedLabel(*elided, faults);
        return;
    }
    const QRect area =
        label.contentsRect().adjusted(label.margin(), label.margin(), -label.margin(), -label.margin());
    if (label.wordWrap()) {
        const int needed = label.heightForWidth(label.width());
        if (needed > label.height())
            faults.append(describe(label) + quoted(label.text()) +
                          QStringLiteral(": needs %1 px height, has %2").arg(needed).arg(label.height()));
        return;
    }
    const int indent = label.indent() > 0 ? label.indent() : 0;
    const int needed = labelTextWidth(label) + indent;
    if (needed > area.width())
        faults.append(describe(label) + quoted(label.text()) +
                      QStringLiteral(": needs %1 px, has %2").arg(needed).arg(area.width()));
    const int lines = int(label.text().count(QLatin1Char('\n'))) + 1;
    const int height = (lines - 1) * label.fontMetrics().lineSpacing() + label.fontMetrics().height();
    if (height > area.height())
        faults.append(describe(label) + quoted(label.text()) +
                      QStringLiteral(": needs %1 px height, has %2").arg(height).arg(area.height()));
}

void checkButton(const QAbstractButton& button, QStringList& faults)
{
    if (button.text().isEmpty())
        return;
    const QStyle* style = button.style();
    const ButtonOption option(button);
    int available = button.width();
    int needed = button.fontMetrics().size(Qt::TextShowMnemonic, button.text()).width();
    if (!button.icon().isNull())
        needed += button.iconSize().width() + 4;
    if (const auto* push = qobject_cast<const QPushButton*>(&button)) {
        available = style->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
        if (push->menu())
            needed += style->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, push);
    } else if (qobject_cast<const QCheckBox*>(&button)) {
        available = style->subElementRect(QStyle::SE_CheckBoxContents, &option, &button).width();
    } else if (qobject_cast<const QRadioButton*>(&button)) {
        available = style->subElementRect(QStyle::SE_RadioButtonContents, &option, &button).width();
    } else if (qobject_cast<const QToolButton*>(&button)) {
        needed = button.sizeHint().width();
    }
    if (needed > available)
        faults.append(describe(button) + quoted(button.text()) +
                      QStringLiteral(": needs %1 px, has %2").arg(needed).arg(available));
}

// An eliding menu button shows what fits of its option and carries the whole option in its tool tip.
void checkElidingCombo(const ui::ElidingComboBox& combo, QStringList& faults)
{
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    const int field = combo.style()
                          ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo)
                          .width();
    const int shown = combo.fontMetrics().horizontalAdvance(combo.shownText());
    if (shown > field)
        faults.append(describe(combo) + quoted(combo.currentText()) +
                      QStringLiteral(": shown in %1 px, has %2").arg(shown).arg(field));
    if (combo.shownText() != combo.currentText() && combo.toolTip() != ui::plainToolTip(combo.currentText()))
        faults.append(describe(combo) + quoted(combo.currentText()) +
                      QStringLiteral(": shown as \"%1\" without its tool tip").arg(combo.shownText()));
}

void checkCombo(const QComboBox& combo, QStringList& faults)
{
    if (combo.currentText().isEmpty() || combo.isEditable())
        return;
    if (const auto* eliding = qobject_cast<const ui::ElidingComboBox*>(&combo)) {
        checkElidingCombo(*eliding, faults);
        return;
    }
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.currentText = combo.currentText();
    // QComboBox measures its options by the ink of the text, which may be a pixel narrower or wider
    // than its advance; either is enough room.
    const QFontMetrics metrics = combo.fontMetrics();
    const QSize text(std::min(metrics.boundingRect(combo.currentText()).width(),
                              metrics.horizontalAdvance(combo.currentText())),
                     metrics.height());
    const int needed = combo.style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, &combo).width();
    if (needed > combo.width())
        faults.append(describe(combo) + quoted(combo.currentText()) +
                      QStringLiteral(": needs %1 px, has %2").arg(needed).arg(combo.width()));
}

bool scrollsSideways(const QWidget* widget, const QStringList& sideways)
{
    for (; widget; widget = widget->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(widget) && sideways.contains(widget->objectName()))
            return true;
    }
    return false;
}

void checkWidget(const QWidget& widget, const QStringList& sideways, QStringList& faults)
{
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(&widget)) {
        if (area->horizontalScrollBar()->isVisible() && !sideways.contains(area->objectName()))
            faults.append(describe(widget) + QStringLiteral(": shows a horizontal scroll bar"));
    }
    const QWidget* parent = widget.parentWidget();
    if (parent && !widget.isWindow() && !scrollsSideways(parent, sideways)) {
        const QRect box = widget.geometry();
        if (box.left() < 0 || box.right() >= parent->width())
            faults.append(describe(widget) + QStringLiteral(": spans x %1..%2 in a parent %3 px wide")
                                                 .arg(box.left())
                                                 .arg(box.right())
                                                 .arg(parent->width()));
    }
    if (scrollsSideways(&widget, sideways))
        return;
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        checkLabel(*label, faults);
    else if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
        checkButton(*button, faults);
    else if (const auto* combo = qobject_cast<const QComboBox*>(&widget))
        checkCombo(*combo, faults);
}

} // namespace

QStringList widthFaults(const QWidget& root, const QStringList& sideways)
{
    QStringList faults;
    QList<const QWidget*> tree{&root};
    for (const QWidget* child : root.findChildren<QWidget*>())
        tree.append(child);
    for (const QWidget* widget : tree) {
        if (widget->isVisible() && !(widget != &root && widget->isWindow()))
            checkWidget(*widget, sideways, faults);
    }
    return faults;
}

QList<FitSetting> fitSettings()
{
    QList<FitSetting> settings;
    const std::pair<UILanguage, const char*> languages[] = {
        {UILanguage::chinese, "zh"}, {UILanguage::english, "en"}, {UILanguage::bilingual, "both"}};
    for (const auto& [language, tag] : languages) {
        for (bool privacy : {false, true})
            settings.append(
                {language, privacy, QLatin1String(tag) + (privacy ? QStringLiteral("-privacy") : QString())});
    }
    return settings;
}

namespace {

// Whole rows of `list` in `shownHeight` pixels of its viewport.
int wholeRows(const QListView& list, int shownHeight)
{
    if (!list.model() || list.model()->rowCount() == 0 || !list.isVisible())
        return 0;
    const int rowHeight = list.sizeHintForRow(0) + list.spacing();
    return rowHeight > 0 ? std::max(0, shownHeight + list.spacing()) / rowHeight : 0;
}

} // namespace

int wholeRowsInView(const QListView& list)
{
    const QWidget* rows = list.viewport();
    QRect shown = rows->rect();
    for (const QWidget* widget = rows; widget->parentWidget(); widget = widget->parentWidget()) {
        const QWidget* parent = widget->parentWidget();
        shown = QRect(widget->mapTo(parent, shown.topLeft()), shown.size()).intersected(parent->rect());
    }
    return wholeRows(list, shown.height());
}

QStringList controlsUnder(const QWidget& window, const QWidget& cover)
{
    const QRect covered(cover.mapTo(&window, QPoint(0, 0)), cover.size());
    QStringList faults;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        const QRect shown = control->visibleRegion().boundingRect();
        if ((qobject_cast<const QAbstractButton*>(control) || qobject_cast<const QComboBox*>(control) ||
             qobject_cast<const QLineEdit*>(control)) &&
            control->isVisible() && !cover.isAncestorOf(control) && !shown.isEmpty() &&
            shown != control->rect() &&
            covered.intersects(QRect(control->mapTo(&window, QPoint(0, 0)), control->size())))
            faults.append(QStringLiteral("%1 shows %2 of its %3 rows")
                              .arg(describe(*control))
                              .arg(shown.height())
                              .arg(control->height()));
    }
    return faults;
}

} // namespace orvalink::test
