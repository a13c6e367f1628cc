#include "ui/models/KeyedListModel.h"

namespace orvalink::ui {

void KeyedListModel::repaintAll()
{
    if (const int rows = rowCount(); rows > 0)
        Q_EMIT dataChanged(index(0), index(rows - 1));
}

} // namespace orvalink::ui
