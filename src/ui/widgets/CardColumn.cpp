#include "ui/widgets/CardColumn.h"

#include <QVBoxLayout>

namespace orvalink::ui {

QVBoxLayout* cardColumn(QWidget* card, int spacing)
{
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(spacing);
    return column;
}

} // namespace orvalink::ui
