#pragma once

#include "model/AppConfig.h"
#include "viewmodel/disk/WorkflowRecords.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <utility>

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// A titled list of record rows that scrolls inside at most 140 pixels, so a long list never pushes
// the rest of the column away.
class ActivityRecordSection : public QWidget {
    Q_OBJECT

public:
    explicit ActivityRecordSection(const QString& objectName, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    // Replaces the rows; the section takes ownership.
    void setRows(const QList<QWidget*>& rows);
    QWidget* rowContainer() const { return m_rows; }

private:
    QLabel* m_title = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_rows = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
};

// The record sections of the activity workspace and the link-repair status row. A section is
// present while its list is not empty; rows are rebuilt only when their list, the language or
// presentation privacy changed.
class ActivityRecords : public QWidget {
    Q_OBJECT

public:
    explicit ActivityRecords(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    MainViewModel& m_viewModel;
    ActivityRecordSection* m_migrated = nullptr;
    ActivityRecordSection* m_restored = nullptr;
    ActivityRecordSection* m_failed = nullptr;
    QWidget* m_repairRow = nullptr;
    QLabel* m_repairTitle = nullptr;
    QLabel* m_repairSubtitle = nullptr;
    std::pair<UILanguage, bool> m_shownTexts{UILanguage::bilingual, false};
    QList<MigrationPathRecord> m_shownMigrated;
    QStringList m_shownRestored;
    QList<FailedMigrationRecord> m_shownFailed;
    bool m_built = false;
};

} // namespace orvalink::ui
