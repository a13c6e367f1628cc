#pragma once

#include "ui/widgets/TintedBox.h"

class QLabel;
class QProgressBar;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class PathLine;

// The progress of the running migration or undo batch: title with the success and failure counts,
// the overall bar, the item/data/result tiles and the item being processed. Progress is in bytes
// when the batch knows its byte total, else in items.
class MigrationProgressCard : public TintedBox {
    Q_OBJECT

public:
    explicit MigrationProgressCard(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

    // The percent text of the run as a whole (Figures::migrationOverallProgressRatio), shared with
    // the workspace header.
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
    QLabel* m_resultTitle = nullptr;
    QLabel* m_resultValue = nullptr;
    QLabel* m_current = nullptr;
    PathLine* m_currentPath = nullptr;
};

} // namespace orvalink::ui
