#include "diskops/LinkRepairService.h"

#include "diskops/DistinctMappings.h"
#include "diskops/HistoryRecordSafety.h"
#include "diskops/MappingHistory.h"
#include "diskops/OperationJournal.h"
#include "diskops/ReservedPaths.h"
#include "diskops/UndoCheck.h"
#include "diskops/VolumeService.h"
#include "model/OrvalinkError.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "platform/UserLocations.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

#include <QFile>
#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace orvalink {

namespace {

// Why one mapping's link was not repaired, in the log's words.
struct NotRepaired {
    QString reason;
};

[[noreturn]] void notRepaired(const QString& reason)
{
    throw NotRepaired{reason};
}

// The entry `path` leads to with every link followed; none when it leads nowhere.
std::optional<platform::EntryIdentity> entryReachedBy(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return platform::EntryIdentity::of(info);
}

} // namespace

LinkRepairService::LinkRepairService(const MappingStore& mappings, const VolumeService& volumes,
                                     LogService& log, const PathMappingService& pathMapping)
    : m_mappings(mappings), m_volumes(volumes), m_log(log), m_pathMapping(pathMapping)
{}

RepairSummary LinkRepairService::repairBrokenLinks() const
{
    return repairBrokenLinks(0, maxRepairItemsPerRun);
}

RepairSummary LinkRepairService::repairBrokenLinks(qsizetype offset, qsizetype batchSize) const
{
    // One pass over the file finds the distinct mappings without holding them; the batch is then
    // read again from the same opened file, at the lines the pass noted.
    QList<LinkMapping> batch;
    qsizetype total = 0;
    qsizetype start = 0;
    try {
        auto reader = JsonLinesReader::open(m_mappings.filePath());
        if (!reader)
            return {};
        DistinctMappings distinct;
        JsonLinesReader::Line line;
        while (reader->next(line)) {
            if (line.overlong)
                continue;
            if (const auto mapping = JSONLStore::decodeLine<LinkMapping>(line.text))
                distinct.add(*mapping, line.offset);
        }
        total = distinct.size();
        if (total == 0)
            return {};
        // The history may have shrunk since the previous batch: start over rather than examine nothing.
        start = offset > 0 && offset < total ? offset : 0;
        for (const qint64 position : distinct.positions(start, std::max<qsizetype>(1, batchSize))) {
            if (const auto text = reader->lineAt(position)) {
                if (auto mapping = JSONLStore::decodeLine<LinkMapping>(*text))
                    batch.append(std::move(*mapping));
            }
        }
    } catch (const std::exception&) {
        return {};
    }
    return repairMappings(batch, total, start);
}

RepairSummary LinkRepairService::repairBrokenLinks(const QSet<QUuid>& mappingIDs) const
{
    const QList<LinkMapping> chosen = mappingsWithIDs(m_mappings, mappingIDs);
    if (chosen.isEmpty())
        return {};
    return repairMappings(chosen, chosen.size());
}

QList<LinkMapping> LinkRepairService::deduplicatedMappings(const QList<LinkMapping>& mappings)
{
    DistinctMappings distinct;
    for (qsizetype index = 0; index < mappings.size(); ++index)
        distinct.add(mappings.at(index), index);
    QList<LinkMapping> kept;
    for (const qint64 position : distinct.positions(0, distinct.size()))
        kept.append(mappings.at(position));
    return kept;
}

struct LinkRepairService::Lookups {
    QHash<QString, QStringList> mountsByUUID;
    QString mappingsFile;
    QString tasksFile;
};

RepairSummary LinkRepairService::repairMappings(const QList<LinkMapping>& mappings, qint64 totalCount,
                                                qint64 coveredBefore) const
{
    RepairSummary summary;
    summary.totalCount = totalCount;
    if (mappings.isEmpty())
        return summary;
    const LocalHistoryScope scope = m_mappings.scope();
    const Lookups lookups{mountPathsByUUID(m_volumes.listVolumes()), m_mappings.filePath(scope),
                          TaskStore().filePath(scope)};
    for (const LinkMapping& mapping : mappings) {
        if (std::optional<RepairedLink> link = repairOne(mapping, lookups)) {
            ++(link->repaired ? summary.fixedCount : summary.failedCount);
            summary.links.append(std::move(*link));
        }
    }
    summary.scannedCount = coveredBefore + mappings.size();
    m_log.append(LogLevel::info,
                 QStringLiteral("Repair broken links finished. Scanned: %1/%2, fixed: %3, failed: %4")
                     .arg(summary.scannedCount)
                     .arg(summary.totalCount)
                     .arg(summary.fixedCount)
                     .arg(summary.failedCount));
    return summary;
}

std::optional<RepairedLink> LinkRepairService::repairOne(const LinkMapping& mapping,
                                                         const Lookups& lookups) const
{
    try {
        if (const std::optional<QString> newTarget = repairLink(mapping, lookups))
            return RepairedLink{mapping.id, mapping.sourcePath, *newTarget, true};
        return std::nullopt;
    } catch (const NotRepaired& failure) {
        m_log.append(LogLevel::warning, QStringLiteral("Link not repaired: ") + mapping.sourcePath +
                                            QStringLiteral(" (") + failure.reason + QLatin1Char(')'));
        return RepairedLink{mapping.id, mapping.sourcePath, mapping.targetPath, false};
    }
}

std::optional<QString> LinkRepairService::repairLink(const LinkMapping& mapping, const Lookups& lookups) const
{
    if (!mapping.sourcePath.startsWith(QLatin1Char('/')))
        notRepaired(QStringLiteral("the source path is not absolute"));
    const QString source = platform::standardizedPath(mapping.sourcePath);
    const auto destination = platform::symbolicLinkDestination(source);
    if (!destination) {
        if (platform::entryExists(source))
            return std::nullopt; // the user's own item, not a link of the migration
        notRepaired(QStringLiteral("nothing stands at the source path"));
    }
    if (!isKnownVolumeUUID(mapping.volumeUUID)) {
        if (platform::fileExists(*destination))
            return std::nullopt;
        notRepaired(QStringLiteral("the migration recorded no volume UUID to find its volume by"));
    }
    const QStringList mountPaths = lookups.mountsByUUID.value(mapping.volumeUUID.trimmed());
    if (mountPaths.isEmpty())
        notRepaired(QStringLiteral("the volume ") + mapping.volumeUUID + QStringLiteral(" is not mounted"));
    // Pointing the link at a clone would hand programs its older copy.
    if (const std::optional<QString> shared = sharedVolumeUUIDProblem(mapping.volumeUUID, mountPaths))
        notRepaired(*shared);

    if (!mapping.targetPath.startsWith(QLatin1Char('/')))
        notRepaired(QStringLiteral("the target path is not absolute"));
    const QString newTarget =
        remapTargetPath(platform::standardizedPath(mapping.targetPath), mountPaths.constFirst());
    JournalRecord check = undoRecordOf(mapping, source, newTarget, lookups.mappingsFile, lookups.tasksFile);
    try {
        verifyUndoTarget(check, m_volumes);
    } catch (const OrvalinkError& refusal) {
        notRepaired(refusal.reason());
    }
    const std::optional<platform::EntryIdentity> data = entryIdentityOf(check.itemIdentity);
    if (data && entryReachedBy(source) == data)
        return std::nullopt; // it leads to the data
    // A protected source is the record's only while its link still points at the recorded target.
    try {
        validateHistoryRecordPaths(source, mapping.targetPath, m_pathMapping);
    } catch (const OrvalinkError&) {
        notRepaired(QStringLiteral("the record's paths are not safe to act on"));
    }
    try {
        platform::replaceSymbolicLink(source, newTarget,
                                      makeReservedPath(source, ReservedSuffix::repairedLink));
    } catch (const platform::PlatformError& error) {
        notRepaired(QString::fromUtf8(error.what()));
    }
    return newTarget;
}

} // namespace orvalink
