#include "ListingFixtures.h"

#include <QUuid>

namespace orvalink::test {

namespace {

DirectoryEntry entryAt(const QString& path, EntryKind kind, qint64 size, bool hidden)
{
    DirectoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.path = path;
    entry.name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    entry.kind = kind;
    entry.sizeBytes = size;
    entry.modifiedAt = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    entry.isHidden = hidden;
    return entry;
}

} // namespace

DirectoryEntry folderEntry(const QString& path, qint64 size, bool hidden)
{
    return entryAt(path, EntryKind::directory, size, hidden);
}

DirectoryEntry fileEntry(const QString& path, qint64 size, bool hidden)
{
    return entryAt(path, EntryKind::file, size, hidden);
}

QStringList namesOf(const QList<DirectoryEntry>& entries)
{
    QStringList names;
    for (const DirectoryEntry& entry : entries)
        names.append(entry.name);
    return names;
}

} // namespace orvalink::test
