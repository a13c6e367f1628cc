#pragma once

#include "model/AppConfig.h"
#include "ui/views/detail/RecordRowDelegate.h"

#include <QWidget>
#include <utility>

class QAbstractItemModel;
class QLabel;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class FailedRecordModel;
class LeftBehindRecordModel;
template <typename Record> class RecordListModel;
class RecordListView;
class RefreshScheduler;
class RestoredPathModel;

// A titled list of record rows that scrolls inside at most 140 pixels (or its first record, where
// that is taller), so a long list never pushes the rest of the column away. The list is named after
// the section with "Scroll"; a note between the title and the list, named with "Note", shows when
// set.
class ActivityRecordSection : public QWidget {
    Q_OBJECT

public:
    ActivityRecordSection(const QString& objectName, QAbstractItemModel* model,
                          RecordRowDelegate::Layout layout, bool uniformRows, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    // Empty: no note.
    void setNote(const QString& note);
    RecordListView* list() const { return m_list; }

private:
    QLabel* m_title = nullptr;
    QLabel* m_note = nullptr;
    RecordListView* m_list = nullptr;
};

// The record sections of the activity workspace (finished migrations, restored paths, what undos
// left on the volume and failures with their remedies, the last link repair with the links it acted
// on, what the start-up kept aside) and the link-repair status row. A section is present while its
// list is not empty (the link repair's while it is reported). The lists are models: a finished item
// inserts its row, a language or privacy change repaints the rows, nothing builds a widget per
// record. Refreshes itself when the records, the running disk work or the texts change.
class ActivityRecords : public QWidget {
    Q_OBJECT

public:
    explicit ActivityRecords(MainViewModel& viewModel, QWidget* parent = nullptr);

    // The section of the failed items, present while there are any.
    QWidget* failedSection() const;
    // The section of what undos left on the volume, present while anything did.
    QWidget* leftBehindSection() const;
    // The section of the last link repair, present while it is reported.
    QWidget* linkRepairSection() const;
    // The section of what the start-up kept aside, present while anything was.
    QWidget* keptVersionsSection() const;

private:
    void showState();
    void restoredButtonClicked(int row, const QString& name);
    void failedButtonClicked(int row, const QString& name);
    void leftBehindButtonClicked(int row, const QString& name);
    void keptVersionsButtonClicked(int row, const QString& name);

    MainViewModel& m_viewModel;
    RefreshScheduler* m_refresh = nullptr;
    RecordListModel<MigrationPathRecord>* m_migratedRecords = nullptr;
    RestoredPathModel* m_restoredPaths = nullptr;
    FailedRecordModel* m_failedRecords = nullptr;
    LeftBehindRecordModel* m_leftBehindRecords = nullptr;
    RecordListModel<LinkRepairRecord>* m_repairedLinks = nullptr;
    RecordListModel<KeptVersionsRecord>* m_keptRecords = nullptr;
    ActivityRecordSection* m_migrated = nullptr;
    ActivityRecordSection* m_restored = nullptr;
    ActivityRecordSection* m_leftBehind = nullptr;
    ActivityRecordSection* m_failed = nullptr;
    ActivityRecordSection* m_linkRepair = nullptr;
    ActivityRecordSection* m_keptVersions = nullptr;
    QWidget* m_repairRow = nullptr;
    QLabel* m_repairTitle = nullptr;
    QLabel* m_repairSubtitle = nullptr;
};

} // namespace orvalink::ui
