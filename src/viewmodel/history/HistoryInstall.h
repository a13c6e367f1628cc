#pragma once

#include "model/LinkMapping.h"
#include "model/MigrationTask.h"

#include <QList>
#include <QString>
#include <optional>

namespace orvalink {

// The two history files of one scope.
struct HistoryFiles {
    QString mappingsPath;
    QString tasksPath;
};

// The records of both history files.
struct HistoryRecords {
    QList<LinkMapping> mappings;
    QList<MigrationTask> tasks;

    bool isEmpty() const { return mappings.isEmpty() && tasks.isEmpty(); }

    // Mappings first, then tasks; a file that is missing or cannot be read holds no record.
    static HistoryRecords read(const HistoryFiles& files);
};

// How a snapshot meets the history already on this computer.
enum class HistoryInstallMode {
    // A download for an empty history: installed only when the history is still empty.
    onlyIntoEmptyHistory,
    // The reply to an upload: local changes made while the request was out are kept.
    keepingLocalChanges,
};

// Replaces both history files with `incoming`, holding both files' locks from a fresh read of the
// files to the end, so a migration that appends meanwhile waits and is never overwritten. With
// `keepingLocalChanges` the records are merged with the files as they are now (see
// mergedKeepingLocalChanges; `uploaded` is what was sent). Both files are replaced together and
// each keeps a ".bak" of what it held. Returns what was written; none when the history was no
// longer empty for `onlyIntoEmptyHistory` (nothing is written then). Throws platform::PlatformError.
std::optional<HistoryRecords> installHistory(const HistoryFiles& files, const HistoryRecords& incoming,
                                             HistoryInstallMode mode, const HistoryRecords& uploaded = {});

} // namespace orvalink
