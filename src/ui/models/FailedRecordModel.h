#pragma once

#include "ui/models/KeyedListModel.h"
#include "viewmodel/disk/WorkflowRecords.h"

#include <QList>

namespace orvalink::ui {

// The migrations the latest batches could not finish, newest first, one row per record, with the
// remedy each one offers and whether a remedy may start now (not while other disk work runs).
class FailedRecordModel : public KeyedListModel {
    Q_OBJECT

public:
    enum Role {
        SourcePathRole = Qt::UserRole + 1,
        TargetPathRole, // empty when the failure came before a target was planned
        DateRole,
        StatusRole, // the TaskStatus, as an int
        RemedyRole, // the FailureRemedy, as an int
        ReasonRole, // the engine's message as recorded (unmasked, untranslated)
        RecoveryEnabledRole,
    };

    using KeyedListModel::KeyedListModel;

    void setRecords(const QList<FailedMigrationRecord>& records);
    // Repaints the rows that offer a remedy when the answer changed.
    void setRecoveryEnabled(bool enabled);
    bool isRecoveryEnabled() const { return m_recoveryEnabled; }
    const QList<FailedMigrationRecord>& records() const { return m_records; }
    const FailedMigrationRecord& recordAt(int row) const { return m_records.at(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the last component of the source path as stored; the roles above for the rest.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<FailedMigrationRecord> m_records;
    bool m_recoveryEnabled = true;
};

} // namespace orvalink::ui
