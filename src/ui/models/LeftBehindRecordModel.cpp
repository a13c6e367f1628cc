#include "ui/models/LeftBehindRecordModel.h"

namespace orvalink::ui {

void LeftBehindRecordModel::setRecoveryEnabled(bool enabled)
{
    if (enabled == m_recoveryEnabled)
        return;
    m_recoveryEnabled = enabled;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0), index(rowCount() - 1));
}

} // namespace orvalink::ui
