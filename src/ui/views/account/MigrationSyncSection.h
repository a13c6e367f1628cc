#pragma once

#include "ui/widgets/CollapsibleSection.h"

class QLabel;
class QVBoxLayout;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class MigrationOverviewBlock;

// Which local history this device reads, the upload of it to the account, and the account-wide
// overview of every device. Display only: nothing of another device is restored here. Refreshes
// itself on the history, the account's sync values, the running requests, the texts and its
// opening; the cards are built only while the section is open.
class MigrationSyncSection : public CollapsibleSection {
    Q_OBJECT

public:
    explicit MigrationSyncSection(MainViewModel& viewModel, QWidget* parent = nullptr);

private:
    void refresh();

    MainViewModel& m_viewModel;
    QLabel* m_scopeSummary = nullptr;
    QLabel* m_overviewSummary = nullptr;
    QLabel* m_note = nullptr;
    QVBoxLayout* m_blockHost = nullptr;
    MigrationOverviewBlock* m_block = nullptr;
    QPushButton* m_sync = nullptr;
    QPushButton* m_refresh = nullptr;
    BusyIndicator* m_busy = nullptr;
};

} // namespace orvalink::ui
