#include "FakeDirectoryListSource.h"

#include <QUuid>
#include <algorithm>

namespace orvalink::ui::test {

std::optional<LinkRecommendation> FakeDirectoryListSource::recommendation(const DirectoryEntry& entry)
{
    const auto found = recommendations.constFind(entry.path);
    return found == recommendations.constEnd() ? std::nullopt : std::optional(*found);
}

std::optional<QString> FakeDirectoryListSource::smartMigrationHintText(const DirectoryEntry& entry)
{
    const auto found = hints.constFind(entry.path);
    return found == hints.constEnd() ? std::nullopt : std::optional(*found);
}

void FakeDirectoryListSource::focusEntry(const DirectoryEntry& entry)
{
    calls.append(QStringLiteral("focus:") + entry.path);
    focused = entry.path;
}

void FakeDirectoryListSource::setSelection(const DirectoryEntry& entry, bool isSelected)
{
    calls.append(QStringLiteral("select:%1:%2").arg(entry.path).arg(isSelected));
    if (!acceptsSelection)
        return;
    if (isSelected)
        selected.insert(entry.path);
    else
        selected.remove(entry.path);
}

void FakeDirectoryListSource::openDirectory(const DirectoryEntry& entry)
{
    calls.append(QStringLiteral("open:") + entry.path);
}

void FakeDirectoryListSource::openContainingDirectory(const DirectoryEntry& entry)
{
    calls.append(QStringLiteral("openContaining:") + entry.path);
}

void FakeDirectoryListSource::revealInFileManager(const DirectoryEntry& entry)
{
    calls.append(QStringLiteral("reveal:") + entry.path);
}

void FakeDirectoryListSource::openFocusedEntry()
{
    calls.append(QStringLiteral("openFocused"));
}

int FakeDirectoryListSource::rowOf(const QString& path) const
{
    for (int row = 0; row < entries.size(); ++row) {
        if (entries.at(row).path == path)
            return row;
    }
    return -1;
}

void FakeDirectoryListSource::moveFocus(int step)
{
    calls.append(step < 0 ? QStringLiteral("focusPrevious") : QStringLiteral("focusNext"));
    if (entries.isEmpty())
        return;
    const int row = focused ? rowOf(*focused) : -1;
    const int next = row < 0 ? (step < 0 ? int(entries.size()) - 1 : 0)
                             : std::clamp(row + step, 0, int(entries.size()) - 1);
    focused = entries.at(next).path;
}

DirectoryEntry makeEntry(const QString& name, EntryKind kind, qint64 size, bool symbolicLink)
{
    DirectoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.name = name;
    entry.path = QStringLiteral("/home/tester/Downloads/") + name;
    entry.kind = kind;
    entry.sizeBytes = size;
    entry.isSymbolicLink = symbolicLink;
    return entry;
}

} // namespace orvalink::ui::test
