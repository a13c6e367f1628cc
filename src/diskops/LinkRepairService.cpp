#include "diskops/LinkRepairService.h"

#include "diskops/HistoryRecordSafety.h"
#include "diskops/MappingHistory.h"
#include "diskops/ReservedPaths.h"
#include "diskops/VolumeService.h"
#include "model/OrvalinkError.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "platform/UserLocations.h"
#include "store/LogService.h"

#include <algorithm>
#include <optional>

namespace orvalink {

namespace {} // namespace

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
    const QList<LinkMapping> loaded = loadMappings(m_mappings).mappings;
    if (loaded.isEmpty())
        return {};
    const QList<LinkMapping> distinct = deduplicatedMappings(loaded);
    // The history may have shrunk since the previous batch: start over rather than examine nothing.
    const qsizetype start = offset > 0 && offset < distinct.size() ? offset : 0;
    return repairMappings(distinct.mid(start, std::max<qsizetype>(1, batchSize)), distinct.size(), start);
}

RepairSummary LinkRepairService::repairBrokenLinks(const QSet<QUuid>& mappingIDs) const
{
    if (mappingIDs.isEmpty())
        return {};
    QList<LinkMapping> chosen;
    for (const LinkMapping& mapping : loadMappings(m_mappings).mappings) {
        if (mappingIDs.contains(mapping.id))
            chosen.append(mapping);
    }
    if (chosen.isEmpty())
        return {};
    return repairMappings(chosen, chosen.size());
}

QList<LinkMapping> LinkRepairService::deduplicatedMappings(const QList<LinkMapping>& mappings)
{
    QHash<QString, qsizetype> indexByKey;
    QList<LinkMapping> kept;
    for (const LinkMapping& mapping : mappings) {
        const QString key = platform::standardizedPath(mapping.sourcePath);
        const auto found = indexByKey.constFind(key);
        if (found == indexByKey.cend()) {
            indexByKey.insert(key, kept.size());
            kept.append(mapping);
        } else if (isMoreRecent(mapping, kept.at(*found))) {
            kept[*found] = mapping;
        }
    }
    sortNewestFirst(kept);
    return kept;
}

QHash<QString, QString> LinkRepairService::buildVolumeIndexByUUID(const QList<VolumeInfo>& volumes)
{
    QHash<QString, QString> index;
    for (const VolumeInfo& volume : volumes) {
        const QString uuid = volume.volumeUUID.trimmed();
        if (uuid.isEmpty() || uuid.compare(QLatin1String("unknown"), Qt::CaseInsensitive) == 0 ||
            index.contains(uuid))
            continue;
        index.insert(uuid, volume.mountPath);
    }
    return index;
}

QString LinkRepairService::remapTargetPath(const QString& targetPath, const QString& newMountPath)
{
    const QString volumes = platform::standardizedPath(platform::volumesDirectory());
    const QString prefix = volumes == QLatin1String("/") ? volumes : volumes + QLatin1Char('/');
    const QString standard = platform::standardizedPath(targetPath);
    if (!standard.startsWith(prefix))
        return targetPath;
    const QStringList pieces = standard.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (pieces.size() < 2)
        return targetPath;
    return platform::standardizedPath(platform::standardizedPath(newMountPath) + QLatin1Char('/') +
                                      pieces.mid(1).join(QLatin1Char('/')));
}

RepairSummary LinkRepairService::repairMappings(const QList<LinkMapping>& mappings, qint64 totalCount,
                                                qint64 coveredBefore) const
{
    RepairSummary summary;
    summary.totalCount = totalCount;
    if (mappings.isEmpty())
        return summary;
    const QHash<QString, QString> index = buildVolumeIndexByUUID(m_volumes.listVolumes());
    for (const LinkMapping& mapping : mappings) {
        if (const auto repaired = repairOne(mapping, index))
            ++(*repaired ? summary.fixedCount : summary.failedCount);
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

std::optional<bool> LinkRepairService::repairOne(const LinkMapping& mapping,
                                                 const QHash<QString, QString>& index) const
{
    const QString& source = mapping.sourcePath;
    try {
        validateHistoryRecordPaths(source, mapping.targetPath, m_pathMapping);
    } catch (const OrvalinkError&) {
        return false;
    }
    const auto linkText = platform::readSymbolicLink(source);
    if (!linkText) {
        if (platform::entryExists(source))
            return std::nullopt;
        return false;
    }
    const QString destination = platform::standardizedPath(
        linkText->startsWith(QLatin1Char('/')) ? *linkText
                                               : platform::parentPath(source) + QLatin1Char('/') + *linkText);
    if (platform::fileExists(destination))
        return std::nullopt;

    const auto mountPath = index.constFind(mapping.volumeUUID);
    if (mountPath == index.cend())
        return false;
    const QString newTarget = remapTargetPath(mapping.targetPath, *mountPath);
    if (!platform::fileExists(newTarget))
        return false;
    try {
        platform::replaceSymbolicLink(source, newTarget,
                                      makeReservedPath(source, ReservedSuffix::repairedLink));
    } catch (const platform::PlatformError&) {
        return false;
    }
    return true;
}

} // namespace orvalink
