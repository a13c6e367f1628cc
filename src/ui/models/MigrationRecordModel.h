#pragma once

#include "ui/models/KeyedListModel.h"
#include "viewmodel/disk/WorkflowRecords.h"

#include <QList>

namespace orvalink::ui {

// The migrations the latest batches finished, newest first, one row per record.
class MigrationRecordModel : public KeyedListModel {
    Q_OBJECT

public:
    enum Role { SourcePathRole = Qt::UserRole + 1, TargetPathRole, DateRole };

    using KeyedListModel::KeyedListModel;

    void setRecords(const QList<MigrationPathRecord>& records);
    const QList<MigrationPathRecord>& records() const { return m_records; }
    const MigrationPathRecord& recordAt(int row) const { return m_records.at(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the last component of the source path as stored; the roles above for the rest.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<MigrationPathRecord> m_records;
};

} // namespace orvalink::ui
