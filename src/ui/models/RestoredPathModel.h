#pragma once

#include "ui/models/KeyedListModel.h"

#include <QStringList>

namespace orvalink::ui {

// The paths the latest undo put back, one row per path, the path being the row's identity.
class RestoredPathModel : public KeyedListModel {
    Q_OBJECT

public:
    using KeyedListModel::KeyedListModel;

    void setPaths(const QStringList& paths);
    const QStringList& paths() const { return m_paths; }
    const QString& pathAt(int row) const { return m_paths.at(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the raw path.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_paths;
};

} // namespace orvalink::ui
