#include "platform/FileCopyTask.h"

#include "platform/RegularFileCopy.h"

#include <QFile>

namespace orvalink::platform {

FileCopyTask::FileCopyTask(QString sourceRoot, QString destinationRoot, bool asRoot, TimeProof times)
    : m_sourceRoot(std::move(sourceRoot)), m_destinationRoot(std::move(destinationRoot)), m_asRoot(asRoot),
      m_times(times)
{}

void FileCopyTask::prepareSlots(int count)
{
    m_slots = std::vector<Slot>(size_t(count));
}

std::optional<FileWorkPool::Problem> FileCopyTask::runFile(int slot, const FileWorkPool::Place& place,
                                                           const FileWorkPool::File& file)
{
    Slot& mine = m_slots[size_t(slot)];
    const char* name = file.name.constData();
    const FileCopyResult result =
        copyRegularFile(FileCopyRequest{place.sourceDirectory, name, file.identity,
                                        place.destinationDirectory, name, file.prepared},
                        mine.data, m_asRoot);
    if (result.created)
        mine.created.push_back(*result.created);
    noteRefused(result.refusedAttributes, pathBelow(m_destinationRoot, place.prefix + file.name));
    if (result.errorNumber != 0)
        return FileWorkPool::Problem{
            result.errorNumber,
            pathBelow(result.atDestination ? m_destinationRoot : m_sourceRoot, place.prefix + file.name)};
    mine.copied.emplace_back(EntryIdentity::of(result.taken), EntryFingerprint::of(result.taken));
    // A successful copy either created its file or filled the prepared one.
    const EntryIdentity copy = result.created ? *result.created : *file.prepared;
    mine.stamps.emplace_back(copy, result.copyChanged);
    if (!m_times.provesUnchanged(result.taken))
        mine.unproven.emplace_back(EntryIdentity::of(result.taken),
                                   UnprovenCopy{place.prefix + file.name, copy});
    return std::nullopt;
}

std::optional<FileWorkPool::Problem> FileCopyTask::completeDirectory(const FileWorkPool::Place& place,
                                                                     const struct stat& info)
{
    const QString path = pathBelow(m_destinationRoot, place.prefix.left(place.prefix.size() - 1));
    QSet<QByteArray> refused;
    const int error =
        applyCopiedMetadata(place.destinationDirectory, info, m_asRoot, place.sourceDirectory, refused);
    noteRefused(refused, path);
    if (error != 0)
        return FileWorkPool::Problem{error, path};
    return std::nullopt;
}

void FileCopyTask::collectResults(QSet<EntryIdentity>& created,
                                  QHash<EntryIdentity, EntryFingerprint>& copied,
                                  QHash<EntryIdentity, UnprovenCopy>& unproven,
                                  QHash<EntryIdentity, timespec>& stamps) const
{
    const auto later = [](const timespec& a, const timespec& b) {
        return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
    };
    for (const Slot& slot : m_slots) {
        for (const auto& [copy, changed] : slot.stamps) {
            const auto walker = stamps.constFind(copy);
            if (walker == stamps.cend() || later(changed, *walker))
                stamps.insert(copy, changed);
        }
        for (const EntryIdentity& identity : slot.created)
            created.insert(identity);
        for (const auto& [identity, fingerprint] : slot.copied)
            copied.insert(identity, fingerprint);
        for (const auto& [identity, copy] : slot.unproven)
            unproven.insert(identity, copy);
    }
}

void FileCopyTask::noteRefused(const QSet<QByteArray>& names, const QString& path)
{
    if (names.isEmpty())
        return;
    const std::lock_guard lock(m_refusedLock);
    m_refused.add(names, path);
}

QString FileCopyTask::pathBelow(const QString& root, const QByteArray& relative) const
{
    if (relative.isEmpty())
        return root;
    return root + QLatin1Char('/') + QFile::decodeName(relative);
}

} // namespace orvalink::platform
