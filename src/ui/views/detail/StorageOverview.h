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
class ElidedLabel;
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
    // A subtitle that is a path loses its middle when it does not fit; prose loses its end.
    void setSubtitleIsPath(bool path);

private:
    RingGauge* m_gauge = nullptr;
    ElidedLabel* m_heading = nullptr;
    ElidedLabel* m_subtitle = nullptr;
    ElidedLabel* m_ratioLine = nullptr;
    ElidedLabel* m_used = nullptr;
    ElidedLabel* m_free = nullptr;
    ElidedLabel* m_total = nullptr;
    QLabel* m_value = nullptr;
};

// How full the internal and the target volume are, how large the current directory is against
// the internal disk and how much of it is selected: four gauges in two columns (one where the
// column is narrow) and a note, below a
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
