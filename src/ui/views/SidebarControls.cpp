#include "ui/views/SidebarControls.h"

#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/TextStyles.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace orvalink::ui {

namespace {

class ClickFilter : public QObject {
public:
    ClickFilter(QWidget* widget, std::function<void()> onClick)
        : QObject(widget), m_onClick(std::move(onClick))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonRelease)
            return QObject::eventFilter(watched, event);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = static_cast<QWidget*>(watched);
        if (mouse->button() != Qt::LeftButton || !widget->isEnabled() ||
            !widget->rect().contains(mouse->position().toPoint()))
            return false;
        m_onClick();
        return true;
    }

private:
    std::function<void()> m_onClick;
};

} // namespace

void makeClickable(QWidget* widget, std::function<void()> onClick)
{
    widget->setCursor(Qt::PointingHandCursor);
    widget->installEventFilter(new ClickFilter(widget, std::move(onClick)));
}

QLabel* createCaption(const char* name, QWidget* parent, bool secondary)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    // Paths and messages hold file names, which may look like markup.
    label->setTextFormat(Qt::PlainText);
    applyTextStyle(label, TextStyle::Caption);
    if (secondary)
        applySecondaryTextColor(label);
    return label;
}

SelectablePathField* createPathLine(const char* name, QWidget* parent)
{
    auto* field = new SelectablePathField(parent);
    field->setObjectName(QString::fromLatin1(name));
    QFont mono = field->font();
    mono.setPixelSize(12);
    field->setFont(mono);
    return field;
}

void setTextKeepingCursor(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

void relabelCombo(QComboBox* combo, const QStringList& texts, int current)
{
    const QSignalBlocker blocker(combo);
    while (combo->count() < texts.size())
        combo->addItem(QString());
    for (int i = 0; i < texts.size(); ++i) {
        if (combo->itemText(i) != texts.at(i))
            combo->setItemText(i, texts.at(i));
    }
    combo->setCurrentIndex(current);
}

void fitComboToCurrentText(QComboBox* combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.currentText = combo->currentText();
    const QFontMetrics metrics = combo->fontMetrics();
    // The wider of the text's advance and its ink, so no glyph touches the arrow.
    const QSize text(std::max(metrics.horizontalAdvance(combo->currentText()),
                              metrics.boundingRect(combo->currentText()).width()),
                     metrics.height());
    const int width = combo->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, combo).width();
    combo->setFixedWidth(width);
    // The open menu is as wide as its longest option.
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0));
}

} // namespace orvalink::ui
