#pragma once

#include "ui/models/RecordListModel.h"

namespace orvalink::ui {

// The undos of the last run that came home but left entries on the volume, each offering the
// append restore that brings the rest home, and whether it may start now (not while other disk
// work runs).
class LeftBehindRecordModel : public RecordListModel<LeftBehindRecord> {
public:
    using RecordListModel::RecordListModel;

    // Repaints the rows when the answer changed.
    void setRecoveryEnabled(bool enabled);
    bool isRecoveryEnabled() const { return m_recoveryEnabled; }

private:
    bool m_recoveryEnabled = true;
};

} // namespace orvalink::ui
