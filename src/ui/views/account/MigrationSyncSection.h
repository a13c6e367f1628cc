#pragma once

#include "backend/MigrationSyncRecords.h"
#include "model/AppConfig.h"
#include "model/LocalHistoryScope.h"
#include "ui/widgets/CollapsibleSection.h"

#include <QDateTime>
#include <optional>

class QLabel;
class QVBoxLayout;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class MigrationOverviewBlock;

// Which local history this device reads, the upload of it to the account, and the account-wide
// overview of every device. Display only: nothing of another device is restored here.
class MigrationSyncSection : public CollapsibleSection {
    Q_OBJECT

public:
    explicit MigrationSyncSection(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    // Everything the cards are built from: they are refreshed only when it changed (or the texts
    // did), not on every keystroke elsewhere in the sheet.
    struct CardInputs {
        AppConfig config;
        LocalHistoryScope scope;
        qsizetype mappingCount = 0;
        qsizetype taskCount = 0;
        std::optional<QString> fingerprint;
        std::optional<QDateTime> lastSyncAt;
        std::optional<BackendMigrationOverview> overview;
        bool operator==(const CardInputs&) const = default;
    };
    CardInputs cardInputs() const;

    MainViewModel& m_viewModel;
    std::optional<CardInputs> m_builtFrom;
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
