#pragma once

#include "ui/widgets/KeyedWidgets.h"
#include "ui/widgets/PlainCard.h"

class QLabel;
class QVBoxLayout;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class MigrationConflictCard;
class MigrationDeviceCard;
class MigrationOverviewCard;

// The overview of the migration sync section: this device's local snapshot, the account, this
// device as the service knows it, the other devices and the conflicts. refresh() shows the state of
// the moment in place: a device (by its fingerprint) or conflict (by its path) that stays keeps its
// card, so a new record does not rebuild the others.
class MigrationOverviewBlock : public PlainCard {
    Q_OBJECT

public:
    explicit MigrationOverviewBlock(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

    // The cards of the other devices and of the conflicts, in the order shown.
    const QList<MigrationDeviceCard*>& otherDeviceCards() const { return m_otherDevices.widgets(); }
    const QList<MigrationConflictCard*>& conflictCards() const { return m_conflicts.widgets(); }

private:
    void refreshOtherDevices();
    void refreshConflicts();

    MainViewModel& m_viewModel;
    MigrationOverviewCard* m_local = nullptr;
    QLabel* m_lastSync = nullptr;
    MigrationOverviewCard* m_account = nullptr;
    MigrationDeviceCard* m_currentDevice = nullptr;
    QLabel* m_otherDevicesTitle = nullptr;
    QLabel* m_otherDevicesNote = nullptr;
    QLabel* m_conflictsTitle = nullptr;
    QWidget* m_noConflicts = nullptr;
    QLabel* m_noConflictsText = nullptr;
    QLabel* m_conflictsNote = nullptr;
    // Each list stands in a column of its own, which the block's column spaces as one of its items.
    KeyedWidgets<MigrationDeviceCard> m_otherDevices;
    KeyedWidgets<MigrationConflictCard> m_conflicts;
};

} // namespace orvalink::ui
