#pragma once

#include "backend/MigrationSyncRecords.h"
#include "backend/ServiceDateReader.h"

#include <QJsonObject>
#include <QJsonValue>

// The wire forms of the snapshot requests and replies. Reply rows keep identifiers and statuses as
// the text the service sent; only the conversion to a snapshot types them.
namespace orvalink::syncwire {

struct SnapshotMappingRow {
    QString id;
    QString sourcePath;
    QString targetPath;
    QString anchorUser;
    QString volumeUUID;
    QDateTime createdAt;
    QDateTime updatedAt;
};

struct SnapshotTaskRow {
    QString id;
    QString sourcePath;
    QString targetPath;
    QString anchorUser;
    QString volumeUUID;
    QString status;
    std::optional<QDateTime> startedAt;
    std::optional<QDateTime> endedAt;
    std::optional<QString> errorCode;
    std::optional<QString> errorMessage;
};

struct SnapshotPayload {
    QString deviceFingerprint;
    QList<SnapshotMappingRow> mappings;
    QList<SnapshotTaskRow> tasks;
    std::optional<QDateTime> syncedAt;

    // Every required field must be present and of its type. Raises json::DecodeError.
    static SnapshotPayload fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates);

    // The rows whose identifier is UUID text and whose status is a task status in any letter case,
    // in reply order; other rows are dropped without a word.
    MigrationSyncSnapshot makeSnapshot() const;
};

struct OverviewPayload {
    BackendMigrationOverview overview;

    // Field for field; raises json::DecodeError.
    static OverviewPayload fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates);
};

// The upload rows: identifiers in lower case, dates with three fractional digits in UTC, absent
// optional fields left out.
QJsonObject mappingUpload(const LinkMapping& mapping);
QJsonObject taskUpload(const MigrationTask& task);

// The upload body, of the rows above. Every row is sent as given.
QJsonObject makeSyncRequest(const QString& deviceFingerprint, const QList<LinkMapping>& mappings,
                            const QList<MigrationTask>& tasks);

// "yyyy-MM-ddTHH:mm:ss.zzzZ" in UTC.
QString uploadDateText(const QDateTime& date);

} // namespace orvalink::syncwire
