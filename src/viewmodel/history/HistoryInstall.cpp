#include "viewmodel/history/HistoryInstall.h"

#include "store/JSONLStore.h"
#include "viewmodel/history/FileSetReplacement.h"
#include "viewmodel/history/HistoryMerge.h"

#include <mutex>

namespace orvalink {

namespace {

template <typename Record> QList<Record> loadOrNothing(const QString& path)
{
    try {
        return JSONLStore::loadAll<Record>(path);
    } catch (const std::exception&) {
        return {};
    }
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

HistoryRecords HistoryRecords::read(const HistoryFiles& files)
{
    HistoryRecords records;
    records.mappings = loadOrNothing<LinkMapping>(files.mappingsPath);
    records.tasks = loadOrNothing<MigrationTask>(files.tasksPath);
    return records;
}

std::optional<HistoryRecords> installHistory(const HistoryFiles& files, const HistoryRecords& incoming,
                                             HistoryInstallMode mode, const HistoryRecords& uploaded)
{
    // std::scoped_lock takes both without deadlocking against a writer that locks them the other way.
    std::scoped_lock locks(JSONLStore::fileLock(files.mappingsPath), JSONLStore::fileLock(files.tasksPath));
    const HistoryRecords current = HistoryRecords::read(files);
    HistoryRecords result;
    switch (mode) {
    case HistoryInstallMode::onlyIntoEmptyHistory:
        if (!current.isEmpty())
            return std::nullopt;
        result = incoming;
        break;
    case HistoryInstallMode::keepingLocalChanges:
        result.mappings = mergedKeepingLocalChanges(incoming.mappings, uploaded.mappings, current.mappings);
        result.tasks = mergedKeepingLocalChanges(incoming.tasks, uploaded.tasks, current.tasks);
        break;
    }
    replaceFilesTogether({FileReplacement{files.mappingsPath, encoded(result.mappings)},
                          FileReplacement{files.tasksPath, encoded(result.tasks)}});
    return result;
}

} // namespace orvalink
