#pragma once

#include "model/LinkMapping.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

namespace orvalink {

class LogService;
class MappingStore;
class PathMappingService;
class VolumeService;

// One link a repair call acted on: pointed at the volume's new mount, or broken and left as it was.
struct RepairedLink {
    QUuid mappingID;
    QString sourcePath; // the link, as the mapping records it
    // Where the link leads now when repaired; the recorded target when not.
    QString targetPath;
    bool repaired = false;

    bool operator==(const RepairedLink&) const = default;
};

// What one repair call did.
struct RepairSummary {
    qint64 fixedCount = 0;   // links pointed at the volume's new mount
    qint64 failedCount = 0;  // broken links that could not be repaired
    qint64 scannedCount = 0; // mappings examined
    qint64 totalCount = 0;   // mappings the call was asked to cover
    // The fixed and the failed links, in the order examined (the log says why each failed one was
    // not repaired); healthy links and the user's own items are not listed.
    QList<RepairedLink> links;

    bool operator==(const RepairSummary&) const = default;
};

// Points the links of recorded migrations at their volume again after it came back under another
// mount name: the volume is found by the UUID recorded in the mapping, and the link's target keeps
// its place relative to the mount. Changes links only; the history is read, never rewritten. A link
// is replaced in one step, so the user's path never stands without one.
//
// A link is healthy only when it leads to the migrated item on the recorded volume: one that leads
// anywhere else (another disk mounted under the volume's old name holding the same path) is pointed
// at the volume's place now. The new target is reached from the volumes folder without following a
// link and checked as an undo checks its target (verifyUndoTarget: the record's places, the volume by
// its UUID, the item a folder or a file of the user's); what fails that is counted failed and the
// log says why. So is a mapping whose UUID more than one mounted volume carries (a disk and its
// clone): its link stays as it is, wherever it leads, as neither volume can be told to be the one
// with the data. A mapping without a volume UUID cannot be told from another volume in its place:
// its link is left as it is while it leads anywhere.
//
// Keeps no state besides its references, which must outlive it. Never throws: every failure is
// counted. Synchronous on the caller's thread.
class LinkRepairService {
public:
    // The most mappings one whole-scope call examines (the most recent ones).
    static constexpr qsizetype maxRepairItemsPerRun = 600;

    LinkRepairService(const MappingStore& mappings, const VolumeService& volumes, LogService& log,
                      const PathMappingService& pathMapping);

    // One batch: the first maxRepairItemsPerRun of the scope's mappings, one per source path, most
    // recent first; totalCount is the number of distinct mappings. Calling again examines the same
    // batch. No mappings: all zero and no log line. The history is read line by line: memory goes
    // with the number of distinct source paths (see DistinctMappings) and the batch, not with the
    // file.
    RepairSummary repairBrokenLinks() const;

    // The batch of at most `batchSize` mappings that starts `offset` mappings into the same order,
    // so that repeated calls with a growing offset cover the whole history. scannedCount counts the
    // mappings covered so far (offset plus those examined now), so scannedCount >= totalCount means
    // the list is done. An offset at or past the end starts over at 0. Offset 0 with the default
    // size is repairBrokenLinks().
    RepairSummary repairBrokenLinks(qsizetype offset, qsizetype batchSize = maxRepairItemsPerRun) const;

    // The scope's mappings whose id is in the set, in file order, without de-duplication or limit.
    // An empty set (or no match) gives all zero and no log line.
    RepairSummary repairBrokenLinks(const QSet<QUuid>& mappingIDs) const;

    // One mapping per standardized source path (the more recent wins; on a tie the earlier in the
    // file), most recent first; of equal recency, the path seen first comes first.
    static QList<LinkMapping> deduplicatedMappings(const QList<LinkMapping>& mappings);

private:
    // What one call looks up once for all the mappings it examines.
    struct Lookups;

    RepairSummary repairMappings(const QList<LinkMapping>& mappings, qint64 totalCount,
                                 qint64 coveredBefore = 0) const;
    // The link as replaced, or as found broken or leading elsewhere and not replaced (the log says
    // why); none when there was nothing to do (a healthy link, or a real item at the source path).
    std::optional<RepairedLink> repairOne(const LinkMapping& mapping, const Lookups& lookups) const;
    // The new target of the replaced link; none when there was nothing to do. Throws the reason of a
    // failure.
    std::optional<QString> repairLink(const LinkMapping& mapping, const Lookups& lookups) const;

    const MappingStore& m_mappings;
    const VolumeService& m_volumes;
    LogService& m_log;
    const PathMappingService& m_pathMapping;
};

} // namespace orvalink
