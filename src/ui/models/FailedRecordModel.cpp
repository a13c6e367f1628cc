#include "ui/models/FailedRecordModel.h"

#include "viewmodel/disk/FailureRemedy.h"

namespace orvalink::ui {

void FailedRecordModel::setRecoveryEnabled(bool enabled)
{
    if (enabled == m_recoveryEnabled)
        return;
    m_recoveryEnabled = enabled;
    int first = -1;
    int last = -1;
    for (int row = 0; row < rowCount(); ++row) {
        if (failureRemedy(recordAt(row)) == FailureRemedy::none)
            continue;
        first = first < 0 ? row : first;
        last = row;
    }
    if (first >= 0)
        Q_EMIT dataChanged(index(first), index(last), {RecoveryEnabledRole});
}

QVariant FailedRecordModel::recordData(const FailedMigrationRecord& record, int role) const
{
    switch (role) {
    case StatusRole:
        return int(record.status);
    case RemedyRole:
        return int(failureRemedy(record));
    case ReasonRole:
        return record.errorMessage;
    case RecoveryEnabledRole:
        return m_recoveryEnabled;
    default:
        return {};
    }
}

} // namespace orvalink::ui
