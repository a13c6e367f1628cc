#pragma once

#include "ui/models/KeyedListModel.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QDateTime>
#include <QFileInfo>
#include <QList>

namespace orvalink::ui {

inline QDateTime recordDate(const MigrationPathRecord& record)
{
    return record.migratedAt;
}

inline QDateTime recordDate(const FailedMigrationRecord& record)
{
    return record.failedAt;
}

inline QDateTime recordDate(const LeftBehindRecord& record)
{
    return record.undoneAt;
}

inline QDateTime recordDate(const LinkRepairRecord& record)
{
    return record.repairedAt;
}

inline QDateTime recordDate(const KeptVersionsRecord& record)
{
    return record.keptAt;
}

// The records of the latest operations in the order the state object publishes them (newest
// first), one row per record, the record's id being the row's identity.
template <typename Record> class RecordListModel : public KeyedListModel {
public:
    enum Role { SourcePathRole = Qt::UserRole + 1, TargetPathRole, DateRole, FirstOwnRole };

    using KeyedListModel::KeyedListModel;

    void setRecords(const QList<Record>& records)
    {
        replaceRows(m_records, records, [](const Record& record) { return record.id; });
    }
    const QList<Record>& records() const { return m_records; }
    const Record& recordAt(int row) const { return m_records.at(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_records.size());
    }

    // Display: the last component of the source path as stored; the roles above, and a subclass's
    // own, for the rest.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        const Record& record = m_records.at(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return QFileInfo(record.sourcePath).fileName();
        case SourcePathRole:
            return record.sourcePath;
        case TargetPathRole:
            return record.targetPath;
        case DateRole:
            return recordDate(record);
        default:
            return recordData(record, role);
        }
    }

protected:
    // The roles from FirstOwnRole on.
    virtual QVariant recordData(const Record&, int) const { return {}; }

private:
    QList<Record> m_records;
};

// The migrations the latest batches finished.
using MigrationRecordModel = RecordListModel<MigrationPathRecord>;
// The links the last link repair acted on.
using LinkRepairRecordModel = RecordListModel<LinkRepairRecord>;
// What the start-up kept aside while it put interrupted operations right.
using KeptVersionsRecordModel = RecordListModel<KeptVersionsRecord>;

} // namespace orvalink::ui
