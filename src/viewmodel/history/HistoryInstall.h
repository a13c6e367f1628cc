#pragma once

#include "model/ContentDigest.h"
#include "model/LinkMapping.h"
#include "model/MigrationTask.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace orvalink {

// The two history files of one scope.
struct HistoryFiles {
    QString mappingsPath;
    QString tasksPath;
};

// Records of both history files, as a snapshot brings them.
struct HistoryRecords {
    QList<LinkMapping> mappings;
    QList<MigrationTask> tasks;
};

// True when neither file holds a record; the read stops at the first one. A file that is missing
// or cannot be read holds none.
bool historyIsEmpty(const HistoryFiles& files);

// What was uploaded of each record: its id and the digest of its content.
struct SentRecords {
    QHash<QUuid, ContentDigest> mappings;
    QHash<QUuid, ContentDigest> tasks;
};

// The upload of a history, read from both files line by line (mappings first, then tasks; a file
// that is missing or cannot be read holds no record): the request body, whose size goes with the
// history's, and what was sent. No record is held.
struct HistoryUpload {
    QByteArray body;
    SentRecords sent;
    qsizetype recordCount = 0;

    static HistoryUpload read(const HistoryFiles& files, const QString& deviceFingerprint);
};

// How a snapshot meets the history already on this computer.
enum class HistoryInstallMode {
    // A download for an empty history: installed only when the history is still empty.
    onlyIntoEmptyHistory,
    // The reply to an upload: local changes made while the request was out are kept.
    keepingLocalChanges,
};

// How many records an install wrote to each file.
struct InstalledCounts {
    qsizetype mappingCount = 0;
    qsizetype taskCount = 0;
};

// Replaces both history files with `incoming`, holding both files' locks from a fresh read of the
// files to the end, so a migration that appends meanwhile waits and is never overwritten. With
// `keepingLocalChanges` the records are merged with the files as they are now (see
// mergedKeepingLocalChanges; `sent` is what was uploaded). Both files are replaced together and
// each keeps a ".bak" of what it held. Returns what was written; none when the history was no
// longer empty for `onlyIntoEmptyHistory` (nothing is written then). Reads the files line by line:
// besides the new content it holds only the local records the snapshot names. Throws
// platform::PlatformError.
std::optional<InstalledCounts> installHistory(const HistoryFiles& files, const HistoryRecords& incoming,
                                              HistoryInstallMode mode, const SentRecords& sent = {});

} // namespace orvalink
