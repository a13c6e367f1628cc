#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

namespace orvalink {

// The history to install after an upload: what the service returned (`reply`), corrected by what
// changed on this computer while the request was out. `uploaded` is what was sent, `local` what
// the history file holds now. A record the service returned keeps its place, except that one
// removed locally meanwhile (an undo) stays removed and one changed locally meanwhile is taken
// from the file; a local record the reply lacks (a migration that finished meanwhile, a row the
// reply dropped) is kept after them, in file order. Records are told apart by `id`.
template <typename Record>
QList<Record> mergedKeepingLocalChanges(const QList<Record>& reply, const QList<Record>& uploaded,
                                        const QList<Record>& local)
{
    QHash<QUuid, Record> uploadedByID;
    for (const Record& record : uploaded)
        uploadedByID.insert(record.id, record);
    QHash<QUuid, Record> localByID;
    for (const Record& record : local) {
        if (!localByID.contains(record.id))
            localByID.insert(record.id, record);
    }

    QList<Record> merged;
    QSet<QUuid> replied;
    for (const Record& record : reply) {
        replied.insert(record.id);
        const auto sent = uploadedByID.constFind(record.id);
        const auto now = localByID.constFind(record.id);
        if (sent != uploadedByID.cend() && now == localByID.cend())
            continue;
        if (now != localByID.cend() && (sent == uploadedByID.cend() || *now != *sent))
            merged.append(*now);
        else
            merged.append(record);
    }
    for (const Record& record : local) {
        if (!replied.contains(record.id))
            merged.append(record);
    }
    return merged;
}

} // namespace orvalink
