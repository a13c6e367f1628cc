#pragma once

#include "ui/widgets/GroupPanel.h"

#include <QColor>

class QLabel;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class RevealAnimation;

class DashboardViewState;
class RingGauge;

// One card of the storage overview: a ring gauge beside the title, subtitle and percentage, then
// either the used/free/total lines of a volume or one large figure.
class StorageCard : public GroupPanel {
    Q_OBJECT

public:
    enum class Kind { volumeUsage, sizeMetric };
    StorageCard(Kind kind, const QString& objectName, const QString& symbol, const QColor& tint,
                QWidget* parent = nullptr);

    void setTexts(const QString& title, const QString& subtitle, const QString& ratioLine);
    // The gauge gets the ratio limited to 0..1 (not-a-number as 0).
    void setRatio(double ratio);
    void setVolumeLines(const QString& used, const QString& free, const QString& total);
    void setValue(const QString& value);
    RingGauge* gauge() const { return m_gauge; }

private:
    RingGauge* m_gauge = nullptr;
    QLabel* m_heading = nullptr;
    QLabel* m_subtitle = nullptr;
    QLabel* m_ratioLine = nullptr;
    QLabel* m_used = nullptr;
    QLabel* m_free = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_value = nullptr;
};

// How full the internal and the target volume are, how large the current directory is against
// the internal disk and how much of it is selected: four gauges in two columns and a note, below a
// header whose button collapses them.
class StorageOverview : public GroupPanel {
    Q_OBJECT

public:
    StorageOverview(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);

    void refresh();

private:
    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    QLabel* m_headerIcon = nullptr;
    QLabel* m_headerTitle = nullptr;
    QPushButton* m_toggle = nullptr;
    QWidget* m_expanded = nullptr;
    RevealAnimation* m_reveal = nullptr;
    bool m_hasRefreshed = false;
    StorageCard* m_system = nullptr;
    StorageCard* m_target = nullptr;
    StorageCard* m_directory = nullptr;
    StorageCard* m_selection = nullptr;
    GroupPanel* m_notes = nullptr;
    QLabel* m_notesText = nullptr;
};

} // namespace orvalink::ui
