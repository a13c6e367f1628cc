#pragma once

#include "model/LinkMapping.h"
#include "model/MigrationTask.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

// One device's migration history as the account service holds it.
struct MigrationSyncSnapshot {
    // As the service sent it; the workflow compares it with this device's own.
    QString deviceFingerprint;
    QList<LinkMapping> mappings;
    QList<MigrationTask> tasks;
    std::optional<QDateTime> syncedAt;
};

// One device of the account in the overview; identified by its fingerprint.
struct BackendMigrationDeviceOverview {
    QString deviceFingerprint;
    qint64 mappingCount = 0;
    qint64 taskCount = 0;
    std::optional<QDateTime> latestActivityAt;
    bool currentDevice = false;

    const QString& id() const { return deviceFingerprint; }
    bool operator==(const BackendMigrationDeviceOverview&) const = default;
};

// A source path migrated on more than one device of the account; identified by the path in
// lower case.
struct BackendMigrationConflict {
    QString sourcePath;
    QStringList deviceFingerprints;
    QStringList targetPaths;
    std::optional<QDateTime> latestUpdatedAt;

    QString id() const { return sourcePath.toLower(); }
    bool operator==(const BackendMigrationConflict&) const = default;
};

// The account-wide summary; every number is the service's own, never recomputed here.
struct BackendMigrationOverview {
    std::optional<QString> currentDeviceFingerprint;
    qint64 totalDevices = 0;
    qint64 totalMappings = 0;
    qint64 totalTasks = 0;
    QList<BackendMigrationDeviceOverview> devices;
    QList<BackendMigrationConflict> conflicts;
    std::optional<QDateTime> syncedAt;

    bool operator==(const BackendMigrationOverview&) const = default;
};

} // namespace orvalink
