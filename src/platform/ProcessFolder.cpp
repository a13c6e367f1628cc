#include "platform/ProcessFolder.h"

#include "platform/ProcessThreads.h"
#include "platform/RingFiles.h"
#include "platform/UniqueFd.h"

#include <QList>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

const QByteArray kDeletedMark = " (deleted)";

// The entry `name` of the folder `directoryFd`, asked without syncing: a network or FUSE file
// system answers from what it already knows, so a server that no longer answers cannot hold the
// caller up (identity and links are all that is wanted here, and neither needs a fresh look).
// None unless its inode is known.
std::optional<struct statx> lookAt(int directoryFd, const char* name, int flags, unsigned int mask)
{
    struct statx info {};
    if (::statx(directoryFd, name, flags | AT_STATX_DONT_SYNC, mask | STATX_INO, &info) != 0 ||
        !(info.stx_mask & STATX_INO))
        return std::nullopt;
    return info;
}

// An entry a process holds, as the link of /proc/<pid> that leads to it tells.
struct HeldEntry {
    EntryIdentity identity;
    quint64 links; // unknown counts as linked
};

// The links of /proc/<pid> followed lead to the entry itself, not to what its path names now.
std::optional<HeldEntry> statThroughLink(int directoryFd, const char* name)
{
    const std::optional<struct statx> info = lookAt(directoryFd, name, 0, STATX_NLINK);
    if (!info)
        return std::nullopt;
    return HeldEntry{EntryIdentity::of(*info), (info->stx_mask & STATX_NLINK) ? info->stx_nlink : 1};
}

// The entry at `path`, not followed.
std::optional<EntryIdentity> identityAtPath(const QByteArray& path)
{
    const std::optional<struct statx> info = lookAt(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW, 0);
    if (!info)
        return std::nullopt;
    return EntryIdentity::of(*info);
}

// A link of a thread's folder to an entry the thread holds: its working or root directory or its
// executable, or one of its descriptors.
struct HeldLink {
    int folderFd; // the thread's folder, or for a descriptor its "fd" folder
    const char* name;
    int threadFd;
    bool isDescriptor() const { return folderFd != threadFd; }
};

// Calls `visit` with the links of the thread folder `threadFd` that show the `parts` (see
// ThreadPart), until it answers false; answers false then.
bool forEachLink(int threadFd, unsigned parts, const std::function<bool(const HeldLink&)>& visit)
{
    const auto visitOwn = [&](const char* name) {
        return visit(HeldLink{threadFd, name, threadFd});
    };
    if ((parts & fileSystemView) && (!visitOwn("cwd") || !visitOwn("root")))
        return false;
    if ((parts & memory) && !visitOwn("exe"))
        return false;
    if (!(parts & descriptors))
        return true;
    const int fdFolder = ::openat(threadFd, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdFolder < 0)
        return true;
    DIR* listing = ::fdopendir(fdFolder);
    if (!listing) {
        ::close(fdFolder);
        return true;
    }
    bool goOn = true;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] != '.' && !visit(HeldLink{fdFolder, entry->d_name, threadFd})) {
            goOn = false;
            break;
        }
    }
    ::closedir(listing);
    return goOn;
}

// The device of the file system of anonymous inodes, where the descriptors of rings lie beside
// those of events, timers and the like; none when no such descriptor can be made.
std::optional<dev_t> anonymousInodeDevice()
{
    static const std::optional<dev_t> device = []() -> std::optional<dev_t> {
        const UniqueFd probe(::eventfd(0, EFD_CLOEXEC));
        struct stat info {};
        if (!probe.isValid() || ::fstat(probe.get(), &info) != 0)
            return std::nullopt;
        return info.st_dev;
    }();
    return device;
}

// The files registered with the ring the descriptor `link` is; whether the kernel named them all
// goes to `told`.
std::vector<QByteArray> ringFilesOf(const HeldLink& link, bool& told)
{
    RingFiles ring = registeredFiles(link.threadFd, link.name);
    told = told && ring.named == RingFiles::Named::all;
    return std::move(ring.paths);
}

struct Mapping {
    EntryIdentity identity;
    QByteArray path; // empty for a mapping the kernel names without a path
    bool shared;     // writes through it reach the file (when it is, or is made, writable)
};

// "address perms offset dev inode   path": only the path contains a "/"; perms ends in "s" for a
// shared mapping; dev is "major:minor" in hexadecimal. Anonymous mappings (inode 0) give none.
std::optional<Mapping> mappingOf(const QByteArray& line)
{
    const qsizetype slash = line.indexOf('/');
    const QList<QByteArray> fields = (slash < 0 ? line : line.left(slash)).simplified().split(' ');
    if (fields.size() < 5)
        return std::nullopt;
    const QList<QByteArray> device = fields[3].split(':');
    bool majorOk = false, minorOk = false, inodeOk = false;
    const uint major = device.size() == 2 ? device[0].toUInt(&majorOk, 16) : 0;
    const uint minor = device.size() == 2 ? device[1].toUInt(&minorOk, 16) : 0;
    const qulonglong inode = fields[4].toULongLong(&inodeOk);
    if (!majorOk || !minorOk || !inodeOk || inode == 0)
        return std::nullopt;
    return Mapping{EntryIdentity{::makedev(major, minor), static_cast<ino_t>(inode)},
                   slash < 0 ? QByteArray() : line.mid(slash), fields[1].endsWith('s')};
}

// The file at the path of `mapping`, when it is the mapped file, with the identity stat gives it.
// The inode alone tells: where one file system shows several devices (btrfs subvolumes, overlays),
// the mapping reports another than stat does. A mapped inode lives on, so no other file at that
// name can have taken its number.
std::optional<EntryIdentity> mappedFileAtItsPath(const Mapping& mapping)
{
    if (mapping.path.isEmpty())
        return std::nullopt;
    const std::optional<EntryIdentity> named = identityAtPath(mapping.path);
    if (!named || named->inode != mapping.identity.inode)
        return std::nullopt;
    return named;
}

bool forEachMapping(int threadFd, const std::function<bool(const Mapping&)>& visit)
{
    const QByteArray maps = readProcessFile(threadFd, "maps");
    for (const QByteArray& line : maps.split('\n')) {
        const std::optional<Mapping> mapping = mappingOf(line);
        if (mapping && !visit(*mapping))
            return false;
    }
    return true;
}

// Calls `visit` with the identities of the files the process maps (only those mapped shared, with
// `sharedOnly`), as forEachHeldIdentity tells them.
void forEachMappedIdentity(int threadFd, bool sharedOnly,
                           const std::function<void(const EntryIdentity& identity)>& visit)
{
    // The mappings of one file follow each other: its path is looked at once for all of them.
    std::optional<Mapping> last;
    std::optional<EntryIdentity> lastNamed;
    forEachMapping(threadFd, [&](const Mapping& mapping) {
        if (sharedOnly && !mapping.shared)
            return true;
        visit(mapping.identity);
        if (!last || last->path != mapping.path || last->identity != mapping.identity) {
            last = mapping;
            lastNamed = mappedFileAtItsPath(mapping);
        }
        if (lastNamed && *lastNamed != mapping.identity)
            visit(*lastNamed);
        return true;
    });
}

} // namespace

QByteArray readProcessFile(int processFd, const char* name)
{
    const int fd = ::openat(processFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray content;
    char chunk[16384];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count <= 0)
            break;
        content.append(chunk, count);
    }
    ::close(fd);
    return content;
}

std::optional<QByteArray> readProcessLink(int folderFd, const char* name)
{
    QByteArray buffer(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t length =
            ::readlinkat(folderFd, name, buffer.data(), static_cast<size_t>(buffer.size()));
        if (length < 0)
            return std::nullopt;
        if (length < buffer.size()) {
            buffer.truncate(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool forEachHeldPath(int processFd, const std::function<bool(const QByteArray& path)>& visit,
                     const std::function<void(const ReportedEntry& entry)>& visitRenamed)
{
    bool told = true;
    const auto visitLink = [&](const HeldLink& link) {
        const std::optional<QByteArray> path = readProcessLink(link.folderFd, link.name);
        if (!path)
            return true;
        if (!path->startsWith('/')) {
            if (*path != kRingLinkText)
                return true;
            // A removed file a ring holds has no status to ask: one at its path as reported counts.
            for (const QByteArray& held : ringFilesOf(link, told)) {
                if ((!held.endsWith(kDeletedMark) || identityAtPath(held)) && !visit(held))
                    return false;
            }
            return true;
        }
        // Most paths carry no mark and need no further look.
        if (!path->endsWith(kDeletedMark))
            return visit(*path);
        const std::optional<HeldEntry> held = statThroughLink(link.folderFd, link.name);
        if (!held || held->links == 0)
            return true;
        if (identityAtPath(*path) == held->identity)
            return visit(*path);
        if (visitRenamed)
            visitRenamed(ReportedEntry{held->identity, path->chopped(kDeletedMark.size())});
        return true;
    };
    const auto visitMapping = [&](const Mapping& mapping) {
        if (mapping.path.isEmpty())
            return true;
        if (!mapping.path.endsWith(kDeletedMark) || mappedFileAtItsPath(mapping))
            return visit(mapping.path);
        return true;
    };
    forEachThread(processFd, [&](int threadFd, unsigned parts) {
        return forEachLink(threadFd, parts, visitLink) &&
               (!(parts & memory) || forEachMapping(threadFd, visitMapping));
    });
    return told;
}

bool forEachHeldIdentity(int processFd, const std::function<void(const EntryIdentity& identity)>& visit)
{
    bool told = true;
    const std::optional<dev_t> anonymous = anonymousInodeDevice();
    const auto visitLink = [&](const HeldLink& link) {
        const std::optional<HeldEntry> held = statThroughLink(link.folderFd, link.name);
        if (!held)
            return true;
        visit(held->identity);
        // Only a descriptor on the file system of anonymous inodes may be a ring.
        if (link.isDescriptor() && (!anonymous || held->identity.device == *anonymous) &&
            readProcessLink(link.folderFd, link.name) == kRingLinkText) {
            for (const QByteArray& path : ringFilesOf(link, told)) {
                if (const std::optional<EntryIdentity> identity = identityAtPath(path))
                    visit(*identity);
            }
        }
        return true;
    };
    forEachThread(processFd, [&](int threadFd, unsigned parts) {
        forEachLink(threadFd, parts, visitLink);
        if (parts & memory)
            forEachMappedIdentity(threadFd, false, visit);
        return true;
    });
    return told;
}

bool forEachSharedMapping(int processFd, const std::function<void(const EntryIdentity& identity)>& visit)
{
    forEachThread(processFd, [&](int threadFd, unsigned parts) {
        if (parts & memory)
            forEachMappedIdentity(threadFd, true, visit);
        return true;
    });
    return true;
}

} // namespace orvalink::platform
