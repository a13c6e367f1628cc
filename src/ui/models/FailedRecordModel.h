#pragma once

#include "ui/models/RecordListModel.h"

namespace orvalink::ui {

// The migrations the latest batches could not finish, with the remedy each one offers and whether
// a remedy may start now (not while other disk work runs).
class FailedRecordModel : public RecordListModel<FailedMigrationRecord> {
    Q_OBJECT

public:
    enum FailureRole {
        StatusRole = FirstOwnRole, // the TaskStatus, as an int
        RemedyRole,                // the FailureRemedy, as an int
        ReasonRole,                // the engine's message as recorded (unmasked, untranslated)
        RecoveryEnabledRole,
    };

    using RecordListModel::RecordListModel;

    // Repaints the rows that offer a remedy when the answer changed.
    void setRecoveryEnabled(bool enabled);
    bool isRecoveryEnabled() const { return m_recoveryEnabled; }

protected:
    QVariant recordData(const FailedMigrationRecord& record, int role) const override;

private:
    bool m_recoveryEnabled = true;
};

} // namespace orvalink::ui
