#pragma once

#include "backend/MigrationSyncRecords.h"

#include <QList>
#include <QString>
#include <optional>

namespace orvalink {

class ViewModelContext;

// The account sheet's texts, computed from the published values at every read; keeps nothing.
class AccountTexts {
public:
    explicit AccountTexts(const ViewModelContext& context);

    std::optional<BackendMigrationDeviceOverview> currentMigrationOverviewDevice() const;
    QList<BackendMigrationDeviceOverview> otherMigrationOverviewDevices() const;
    QString maskedDeviceFingerprint(const QString& fingerprint) const;
    QString backendAccountSummary() const;
    std::optional<QString> backendAccountBadgeText() const;
    QString migrationSyncScopeSummary() const;
    QString migrationSyncSnapshotSummary() const;
    QString migrationOverviewSummary() const;
    std::optional<QString> migrationSyncTimestampSummary() const;
    std::optional<QString> migrationOverviewTimestampSummary() const;

private:
    const ViewModelContext& m_context;
};

} // namespace orvalink
