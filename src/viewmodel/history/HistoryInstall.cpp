#include "viewmodel/history/HistoryInstall.h"

#include "backend/SyncRequestBody.h"
#include "store/JSONLStore.h"
#include "viewmodel/history/FileSetReplacement.h"
#include "viewmodel/history/HistoryMerge.h"
#include "viewmodel/history/RecordDigest.h"

#include <mutex>

namespace orvalink {

namespace {

// Hands each record of the file to `visit` (see JSONLStore::forEachRecord); a file that cannot be
// read ends its records where the failure came.
template <typename Record, typename Visit> void readOrStop(const QString& path, Visit&& visit)
{
    try {
        JSONLStore::forEachRecord<Record>(path, std::forward<Visit>(visit));
    } catch (const std::exception&) {
    }
}

template <typename Record> bool holdsRecord(const QString& path)
{
    bool found = false;
    readOrStop<Record>(path, [&](const Record&) {
        found = true;
        return false;
    });
    return found;
}

template <typename Record> QByteArray encoded(const QList<Record>& records)
{
    QByteArray content;
    for (const Record& record : records) {
        content += JSONLStore::encodeLine(record.toJson());
        content += '\n';
    }
    return content;
}

} // namespace

bool historyIsEmpty(const HistoryFiles& files)
{
    return !holdsRecord<LinkMapping>(files.mappingsPath) && !holdsRecord<MigrationTask>(files.tasksPath);
}

HistoryUpload HistoryUpload::read(const HistoryFiles& files, const QString& deviceFingerprint)
{
    HistoryUpload upload;
    syncwire::SyncRequestBody body(deviceFingerprint);
    readOrStop<LinkMapping>(files.mappingsPath, [&](const LinkMapping& mapping) {
        body.addMapping(mapping);
        upload.sent.mappings.insert(mapping.id, digestOf(mapping));
    });
    readOrStop<MigrationTask>(files.tasksPath, [&](const MigrationTask& task) {
        body.addTask(task);
        upload.sent.tasks.insert(task.id, digestOf(task));
    });
    upload.recordCount = body.mappingCount() + body.taskCount();
    upload.body = body.take();
    return upload;
}

std::optional<InstalledCounts> installHistory(const HistoryFiles& files, const HistoryRecords& incoming,
                                              HistoryInstallMode mode, const SentRecords& sent)
{
    // std::scoped_lock takes both without deadlocking against a writer that locks them the other way.
    std::scoped_lock locks(JSONLStore::fileLock(files.mappingsPath), JSONLStore::fileLock(files.tasksPath));
    InstalledCounts counts;
    QByteArray mappings;
    QByteArray tasks;
    switch (mode) {
    case HistoryInstallMode::onlyIntoEmptyHistory:
        if (!historyIsEmpty(files))
            return std::nullopt;
        mappings = encoded(incoming.mappings);
        counts.mappingCount = incoming.mappings.size();
        tasks = encoded(incoming.tasks);
        counts.taskCount = incoming.tasks.size();
        break;
    case HistoryInstallMode::keepingLocalChanges:
        mappings = mergedKeepingLocalChanges(incoming.mappings, sent.mappings, files.mappingsPath,
                                             counts.mappingCount);
        tasks = mergedKeepingLocalChanges(incoming.tasks, sent.tasks, files.tasksPath, counts.taskCount);
        break;
    }
    replaceFilesTogether({FileReplacement{files.mappingsPath, std::move(mappings)},
                          FileReplacement{files.tasksPath, std::move(tasks)}});
    return counts;
}

} // namespace orvalink
