#pragma once

#include "platform/EntryIdentity.h"
#include "platform/ExtendedAttributes.h"
#include "platform/FileDataCopier.h"
#include "platform/FileWorkPool.h"
#include "platform/TimeProof.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <mutex>
#include <utility>
#include <vector>

namespace orvalink::platform {

// A copied file whose times cannot prove later that it is unchanged (see TimeProof): where it and
// its copy are, for a comparison of their content.
struct UnprovenCopy {
    QByteArray relativePath; // below the roots of the copy, the same on either side; "" for a root
    EntryIdentity copy;      // the file at the destination
};

// What the workers of a tree copy do: copy each regular file (see copyRegularFile) and give each
// complete directory its owner, mode and times. Each slot keeps its own record of what it created
// and took, gathered once the workers have stopped.
class FileCopyTask : public FileWorkPool::Task {
public:
    // `sourceRoot` and `destinationRoot` name the two roots in messages; `times` tells which files
    // taken need their place kept for a comparison.
    FileCopyTask(QString sourceRoot, QString destinationRoot, bool asRoot, TimeProof times);

    // Call once, before any file is handed over.
    void prepareSlots(int count);

    std::optional<FileWorkPool::Problem> runFile(int slot, const FileWorkPool::Place& place,
                                                 const FileWorkPool::File& file) override;
    std::optional<FileWorkPool::Problem> completeDirectory(const FileWorkPool::Place& place,
                                                           const struct stat& info) override;

    // Once the workers have stopped: adds the destination entries they created, the source files
    // they took, as they were when taken, and of those the ones that times cannot prove unchanged;
    // and the change time each file they copied had once they were done with it (see
    // TreeCopier::copyStands). A file also found in `stamps` keeps the later time: the walker read
    // it after giving it another name, which the worker may have done before or after.
    void collectResults(QSet<EntryIdentity>& created, QHash<EntryIdentity, EntryFingerprint>& copied,
                        QHash<EntryIdentity, UnprovenCopy>& unproven,
                        QHash<EntryIdentity, timespec>& stamps) const;
    // Once the workers have stopped: the extended attributes the destination refused.
    const RefusedAttributes& refusedAttributes() const { return m_refused; }

private:
    struct Slot {
        FileDataCopier data;
        std::vector<EntryIdentity> created;
        std::vector<std::pair<EntryIdentity, EntryFingerprint>> copied;
        std::vector<std::pair<EntryIdentity, UnprovenCopy>> unproven;
        std::vector<std::pair<EntryIdentity, timespec>> stamps; // by the copy's identity
    };

    QString pathBelow(const QString& root, const QByteArray& relative) const;
    void noteRefused(const QSet<QByteArray>& names, const QString& path);

    const QString m_sourceRoot;
    const QString m_destinationRoot;
    const bool m_asRoot;
    const TimeProof m_times;
    std::vector<Slot> m_slots;
    std::mutex m_refusedLock; // refusals are rare: one lock for all workers is enough
    RefusedAttributes m_refused;
};

} // namespace orvalink::platform
