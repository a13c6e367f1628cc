#pragma once

#include "store/JSONLStore.h"
#include "viewmodel/history/RecordDigest.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

namespace orvalink {

// The history to install after an upload, as the lines of the new file: what the service returned
// (`reply`), corrected by what changed on this computer while the request was out. `sent` tells
// what was uploaded (a digest per id), `localPath` is the history file as it is now. A record the
// service returned keeps its place, except that one removed locally meanwhile (an undo) stays
// removed and one changed locally meanwhile is taken from the file; a local record the reply lacks
// (a migration that finished meanwhile, a row the reply dropped) is kept after them, in file order.
// Records are told apart by `id`. The file is read line by line, twice, holding only the local
// records the reply names: the caller holds the file's lock. `count` receives the number of lines.
// Throws platform::PlatformError when the file cannot be read.
template <typename Record>
QByteArray mergedKeepingLocalChanges(const QList<Record>& reply, const QHash<QUuid, ContentDigest>& sent,
                                     const QString& localPath, qsizetype& count)
{
    QSet<QUuid> replied;
    for (const Record& record : reply)
        replied.insert(record.id);
    QHash<QUuid, Record> localByID;
    JSONLStore::forEachRecord<Record>(localPath, [&](Record&& record) {
        if (replied.contains(record.id) && !localByID.contains(record.id))
            localByID.insert(record.id, std::move(record));
    });

    QByteArray lines;
    count = 0;
    const auto add = [&](const Record& record) {
        lines += JSONLStore::encodeLine(record.toJson());
        lines += '\n';
        ++count;
    };
    for (const Record& record : reply) {
        const auto was = sent.constFind(record.id);
        const auto now = localByID.constFind(record.id);
        if (was != sent.cend() && now == localByID.cend())
            continue;
        if (now != localByID.cend() && (was == sent.cend() || digestOf(*now) != *was))
            add(*now);
        else
            add(record);
    }
    JSONLStore::forEachRecord<Record>(localPath, [&](const Record& record) {
        if (!replied.contains(record.id))
            add(record);
    });
    return lines;
}

} // namespace orvalink
