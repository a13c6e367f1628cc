#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>
#include <optional>

namespace orvalink::test {

// The loopback service's store of migration snapshots: one per account and device, as uploaded,
// and the overview across an account's devices. Fingerprints are compared in lower case.
class LoopbackMigrationBook {
public:
    // A device becomes known to the account when it signs in or uploads.
    void noteDevice(const QString& email, const QString& fingerprint);

    // The stored snapshot, or an empty one with a null "syncedAt".
    QJsonObject snapshot(const QString& email, const QString& fingerprint) const;

    // Replaces the device's snapshot with the upload and returns what is now stored; none when the
    // upload lacks its fingerprint or row lists.
    std::optional<QJsonObject> store(const QString& email, const QJsonObject& upload, const QDateTime& now);

    // Totals, one entry per known device, and the source paths (compared without regard to case)
    // that were migrated on more than one device.
    QJsonObject overview(const QString& email, const QString& currentFingerprint) const;

private:
    QMap<QString, QSet<QString>> m_devices;
    QMap<QString, QMap<QString, QJsonObject>> m_snapshots;
};

} // namespace orvalink::test
