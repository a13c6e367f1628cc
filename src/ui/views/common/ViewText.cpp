#include "ui/views/common/ViewText.h"

#include <QLabel>
#include <QLineEdit>

namespace orvalink::ui {

void setTextIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

void setTextIfChanged(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace orvalink::ui
