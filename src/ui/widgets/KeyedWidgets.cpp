#include "ui/widgets/KeyedWidgets.h"

#include <QBoxLayout>

namespace orvalink::ui::keyedwidgets {

void placeInOrder(QBoxLayout* layout, int firstIndex, const QList<QWidget*>& widgets)
{
    for (qsizetype offset = 0; offset < widgets.size(); ++offset) {
        QWidget* widget = widgets.at(offset);
        const int wanted = firstIndex + int(offset);
        if (layout->indexOf(widget) == wanted)
            continue;
        // Inserting shows a new widget of a shown parent, as adding it would.
        layout->removeWidget(widget);
        layout->insertWidget(wanted, widget);
    }
}

void discard(QBoxLayout* layout, QWidget* widget)
{
    if (layout)
        layout->removeWidget(widget);
    widget->hide();
    widget->deleteLater();
}

} // namespace orvalink::ui::keyedwidgets
