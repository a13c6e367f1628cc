#include "PlainToolTip.h"

#include <QWidget>

namespace orvalink::ui {

QString plainToolTip(const QString& text)
{
    if (text.isEmpty()) {
        return {};
    }
    // An explicit rich-text wrapper around the escaped text: Qt never guesses, and nothing inside
    // can become a tag, an image or a link. Line breaks stay line breaks.
    QString escaped = text.toHtmlEscaped();
    escaped.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
    return QStringLiteral("<qt>") + escaped + QStringLiteral("</qt>");
}

void setPlainToolTip(QWidget* widget, const QString& text)
{
    widget->setToolTip(plainToolTip(text));
}

} // namespace orvalink::ui
