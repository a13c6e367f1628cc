#pragma once

#include "ui/widgets/TintedBox.h"

class QLabel;
class QProgressBar;

namespace orvalink {
class BilingualText;
class MainViewModel;
} // namespace orvalink

namespace orvalink::ui {

class PathLine;

// The progress of the running migration or undo batch: title with the success and failure counts,
// the overall bar, the item/data/result tiles and the item being processed. Progress is in bytes
// when the batch knows its byte total, else in items. While a long step runs beyond an item's copy
// (a migration taken back, the start-up putting right an interrupted operation: DiskWorkStep), the
// title, bar, data and current line are the step's, its bar running without a figure until its
// total is known.
class MigrationProgressCard : public TintedBox {
    Q_OBJECT

public:
    explicit MigrationProgressCard(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

    // The title and percent text of what runs, shared with the workspace header: the running step's
    // (no percent while its total is not known), else the operation's (`untitled` while it has none)
    // and the run's as a whole (Figures::migrationOverallProgressRatio).
    static QString progressTitle(MainViewModel& viewModel, const BilingualText& untitled);
    static QString progressPercentText(MainViewModel& viewModel);

private:
    QWidget* addPill(const QString& objectName, QLabel*& title, QLabel*& value);

    MainViewModel& m_viewModel;
    QLabel* m_title = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_percent = nullptr;
    QLabel* m_overallTitle = nullptr;
    QLabel* m_overallPercent = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_subtitle = nullptr;
    QWidget* m_pillRow = nullptr;
    QLabel* m_itemsTitle = nullptr;
    QLabel* m_itemsValue = nullptr;
    QWidget* m_dataPill = nullptr;
    QLabel* m_dataTitle = nullptr;
    QLabel* m_dataValue = nullptr;
    QWidget* m_resultPill = nullptr;
    QLabel* m_resultTitle = nullptr;
    QLabel* m_resultValue = nullptr;
    QLabel* m_current = nullptr;
    PathLine* m_currentPath = nullptr;
};

} // namespace orvalink::ui
