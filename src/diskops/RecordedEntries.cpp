#include "diskops/RecordedEntries.h"

#include "diskops/HeldLeftovers.h"
#include "diskops/OperationJournal.h"
#include "diskops/RecordedPlaces.h"
#include "platform/DuplicateRemoval.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/Placeholder.h"
#include "platform/PlatformError.h"
#include "platform/ProbeLeftovers.h"
#include "platform/ProcessTable.h"
#include "platform/TreeRemoval.h"
#include "platform/VerifiedDirectory.h"

#include <QFile>
#include <QLoggingCategory>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcEntries, "orvalink.diskops.recovery.entries")

namespace orvalink {

RecordedEntries::RecordedEntries(const OperationJournal& journal) : m_record(journal.record()) {}

platform::EntryKind RecordedEntries::kindOf(const platform::EntryLocation& location)
{
    struct stat info {};
    if (!location.parent.isValid() ||
        ::fstatat(location.parent.get(), location.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return platform::EntryKind::none;
    if (S_ISLNK(info.st_mode))
        return platform::EntryKind::symbolicLink;
    if (S_ISDIR(info.st_mode))
        return platform::EntryKind::directory;
    return S_ISREG(info.st_mode) ? platform::EntryKind::regularFile : platform::EntryKind::other;
}

bool RecordedEntries::isEmpty(const platform::EntryLocation& location)
{
    struct stat info {};
    if (!location.parent.isValid() ||
        ::fstatat(location.parent.get(), location.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISREG(info.st_mode))
        return info.st_size == 0;
    if (!S_ISDIR(info.st_mode))
        return false;
    const int fd = ::openat(location.parent.get(), location.name.constData(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* directory = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!directory) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    bool empty = true;
    while (const dirent* item = ::readdir(directory)) {
        const char* name = item->d_name;
        if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))) {
            empty = false;
            break;
        }
    }
    ::closedir(directory);
    return empty;
}

RecordedEntries::Found RecordedEntries::find(Side side, const QString& path) const
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    try {
        const platform::VerifiedDirectory folder =
            side == Side::source ? sourceSideFolder(m_record, path) : targetSideFolder(m_record, path);
        Found found{folder.locate(name), QString()};
        if (const auto look = lookAtEntry(found.location.parent.get(), found.location.name)) {
            found.identity = look->identity;
            found.owner = look->owner;
            found.type = look->type;
        }
        return found;
    } catch (const platform::PlatformError& error) {
        if (error.errorNumber() != ENOENT && error.errorNumber() != ENOTDIR)
            throw;
        // Nothing can stand below a folder that is missing; a location that leads nowhere.
        return Found{platform::EntryLocation{path, platform::UniqueFd(), QFile::encodeName(name)}, QString()};
    }
}

QString RecordedEntries::identityAt(Side side, const QString& path) const
{
    return find(side, path).identity;
}

bool RecordedEntries::holdsAtSource(const QString& path, const QString& identity) const
{
    return !identity.isEmpty() && !path.isEmpty() && identityAt(Side::source, path) == identity;
}

bool RecordedEntries::isEmptyAt(Side side, const QString& path) const
{
    const Found found = find(side, path);
    return !found.identity.isEmpty() && isEmpty(found.location);
}

void RecordedEntries::removeTree(const Found& found) const
{
    if (const std::optional<platform::EntryIdentity> entry = entryIdentityOf(found.identity))
        platform::removeTree(found.location, *entry);
}

RecordedEntries::Remainder RecordedEntries::removeDuplicate(const Found& found, Side copySide,
                                                            const QString& copyPath) const
{
    const std::optional<platform::EntryIdentity> entry = entryIdentityOf(found.identity);
    const Found copy = find(copySide, copyPath);
    if (!entry)
        return {};
    if (copy.identity.isEmpty())
        return {{found.location.path}, {}}; // nothing to compare with: everything stays
    const QSet<platform::EntryIdentity> inUse = platform::entriesInUse(found.location.path);
    const QStringList stayed =
        platform::removeDuplicateTree(found.location, copy.location, *entry, inUse).leftoverPaths;
    return {stayed, heldAmong(stayed, inUse)};
}

void RecordedEntries::placeAtSource(const QString& sibling, const QStringList& identities) const
{
    const Found from = find(Side::source, sibling);
    if (from.identity.isEmpty() || !identities.contains(from.identity))
        throw platform::PlatformError::fromErrno(EBUSY, sibling);
    const Found source = find(Side::source, m_record.sourcePath);
    if (kindOf(source.location) == platform::EntryKind::symbolicLink) {
        platform::exchangePaths(from.location, source.location);
        try {
            platform::removePlaceholder(from.location); // the link now stands at the sibling path
        } catch (const std::exception& error) {
            qCWarning(lcEntries) << "could not remove the replaced link:" << error.what();
        }
        return;
    }
    if (!source.identity.isEmpty())
        platform::removePlaceholder(source.location); // an empty folder; anything else refuses
    platform::renameNoReplace(from.location, source.location);
}

void RecordedEntries::removeEmptyFolders(const QStringList& folders) const
{
    for (const QString& folder : folders) {
        try {
            const Found found = find(Side::target, folder);
            if (kindOf(found.location) == platform::EntryKind::directory)
                platform::removePlaceholder(found.location); // rmdir: only an empty one goes
        } catch (const std::exception&) {
            // What cannot be reached or removed stays.
        }
    }
}

void RecordedEntries::removeProbeLeftovers(const QString& folder) const
{
    try {
        const Found found = find(Side::target, folder);
        if (!found.location.parent.isValid())
            return;
        const platform::UniqueFd opened(::openat(found.location.parent.get(), found.location.name.constData(),
                                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (opened.isValid())
            platform::removeProbeLeftovers(opened.get());
    } catch (const std::exception& error) {
        qCWarning(lcEntries) << "could not look for what a volume probe left:" << error.what();
    }
}

} // namespace orvalink
