#include "platform/TreeCopier.h"

#include "platform/ContentComparison.h"
#include "platform/ExtendedAttributes.h"
#include "platform/HelperThreads.h"
#include "platform/MountTable.h"
#include "platform/PlatformError.h"
#include "platform/RegularFileCopy.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"

#include <QFile>
#include <QLoggingCategory>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {
Q_LOGGING_CATEGORY(lcTreeCopy, "orvalink.platform.copy")
} // namespace

timespec TreeCopier::listedNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

TreeCopier::TreeCopier(const EntryLocation& source, const EntryLocation& destination, CreatedHook created,
                       std::optional<EntryIdentity> sourceIdentity, bool timesProveNothing)
    : m_source(source), m_destination(destination), m_createdHook(std::move(created)),
      m_sourceIdentity(sourceIdentity), m_asRoot(::geteuid() == 0),
      m_times(timesProveNothing ? TimeProof() : TimeProof::beginningNow(source.parent.get())),
      m_task(source.path, destination.path, m_asRoot, m_times), m_pool(m_task, true)
{
    m_task.prepareSlots(m_pool.slotCount());
}

void TreeCopier::copy()
{
    std::exception_ptr walkError;
    try {
        walkTree(m_source.parent.get(), m_source.name, m_source.path, *this);
    } catch (const Stopped&) {
        // A worker failed; its failure is reported below.
    } catch (...) {
        walkError = std::current_exception();
    }
    // Whatever happened, no worker may still be writing when the result is judged or removed.
    m_pool.finish();
    m_task.collectResults(m_created, m_copied, m_unproven, m_stamps);
    try {
        // A worker's failure lies earlier in the walk than any of the walker's own: files are
        // queued before the walker takes its next step.
        if (const auto& failure = m_pool.firstFailure())
            fail(failure->problem.errorNumber, failure->problem.path);
        if (walkError)
            std::rethrow_exception(walkError);
        flushDestination();
    } catch (...) {
        discard();
        throw;
    }
}

bool TreeCopier::copiedUnchanged(const struct stat& info, const QByteArray& relativePath) const
{
    const auto found = m_copied.constFind(Identity::of(info));
    // Of another kind, it is another entry under a number the removal freed.
    if (found == m_copied.cend() || (found->mode & S_IFMT) != (info.st_mode & S_IFMT))
        return false;
    if (S_ISDIR(info.st_mode))
        return true;
    if (found->size != info.st_size || found->modified.tv_sec != info.st_mtim.tv_sec ||
        found->modified.tv_nsec != info.st_mtim.tv_nsec)
        return false;
    // A link's text and a FIFO stay as they were made: only a regular file is written in place.
    if (!S_ISREG(info.st_mode))
        return true;
    const auto unproven = m_unproven.constFind(Identity::of(info));
    if (unproven != m_unproven.cend())
        return sameAsCopy(unproven.key(), *unproven, &info);
    // Its times proved it unchanged when the copy took it, and must still prove it as it is now: a
    // change time moved since tells of something done to it after the copy took it (a write whose
    // program put the old modification time back, a chmod, another of its names removed).
    if (m_times.provesUnchanged(info))
        return true;
    const std::optional<UnprovenCopy> copy = copyAt(relativePath);
    return copy && sameAsCopy(Identity::of(info), *copy, &info);
}

bool TreeCopier::mayRelease(const struct stat& info, const QByteArray& relativePath)
{
    if (!copiedUnchanged(info, relativePath))
        return false;
    const bool stands = copyStands(info, relativePath);
    const std::lock_guard lock(m_changedLock);
    if (!stands) {
        m_lost.append(relativePath);
        return false;
    }
    m_released.insert(Identity::of(info));
    return true;
}

bool TreeCopier::copyStands(const struct stat& info, const QByteArray& relativePath) const
{
    struct stat copy {};
    if (relativePath.isEmpty()) {
        // The root folder's entries are looked at one by one; a single file is held open.
        if (!m_rootIsFile)
            return true;
        return m_rootFile.isValid() && ::fstat(m_rootFile.get(), &copy) == 0 && copy.st_nlink > 0 &&
               S_ISREG(copy.st_mode) && copy.st_size == info.st_size && unchangedSinceMade(copy);
    }
    if (!m_destinationRoot.isValid())
        return false;
    // One look, as the removal asks for every entry: a link that replaced a folder on the way can lead
    // only to what this copy made, which the identity must be.
    if (::fstatat(m_destinationRoot.get(), relativePath.constData(), &copy, AT_SYMLINK_NOFOLLOW) != 0) {
        const UniqueFd found =
            errno == ENAMETOOLONG ? openBeneath(m_destinationRoot.get(), relativePath, O_PATH) : UniqueFd();
        if (!found.isValid() || ::fstat(found.get(), &copy) != 0)
            return false;
    }
    if (!m_created.contains(Identity::of(copy)) || (copy.st_mode & S_IFMT) != (info.st_mode & S_IFMT))
        return false;
    return !S_ISREG(info.st_mode) || (copy.st_size == info.st_size && unchangedSinceMade(copy));
}

bool TreeCopier::unchangedSinceMade(const struct stat& copy) const
{
    const auto made = m_stamps.constFind(Identity::of(copy));
    return made != m_stamps.cend() && made->tv_sec == copy.st_ctim.tv_sec &&
           made->tv_nsec == copy.st_ctim.tv_nsec;
}

void TreeCopier::stamp(int folder, const char* name)
{
    const UniqueFd made(::openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (made.isValid())
        stamp(made.get());
}

void TreeCopier::stamp(int fd)
{
    struct stat made {};
    if (::fstat(fd, &made) == 0 && S_ISREG(made.st_mode) && m_created.contains(Identity::of(made)))
        m_stamps.insert(Identity::of(made), made.st_ctim);
}

void TreeCopier::stampOtherNames(const QSet<Identity>& copies)
{
    // Only files with several names keep one to be reached by: those of a source file with several.
    QSet<Identity> left = copies;
    const auto look = [&](const QByteArray& name) {
        struct stat there {};
        if (!left.isEmpty() &&
            ::fstatat(m_destinationRoot.get(), name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            left.remove(Identity::of(there)))
            m_stamps.insert(Identity::of(there), there.st_ctim);
    };
    for (const QByteArray& first : std::as_const(m_firstLinks))
        look(first);
    for (const QList<QByteArray>& names : std::as_const(m_laterLinks)) {
        for (const QByteArray& name : names)
            look(name);
    }
}

bool TreeCopier::standsAtDestination() const
{
    return standsInItsFolder() && reachedByName();
}

bool TreeCopier::standsInItsFolder() const
{
    const int root = copyRoot();
    struct stat named {};
    struct stat held {};
    return root >= 0 &&
           ::fstatat(m_destination.parent.get(), m_destination.name.constData(), &named,
                     AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(root, &held) == 0 && held.st_nlink > 0 && Identity::of(named) == Identity::of(held);
}

bool TreeCopier::reachedByName() const
{
    const int root = copyRoot();
    // Its folder looked up anew from "/" (one step at a time where the path is too long for one).
    const UniqueFd folder =
        openDirectoryPath(QFile::encodeName(parentPath(m_destination.path)), O_PATH | O_CLOEXEC);
    struct stat named {};
    struct stat held {};
    return root >= 0 && folder.isValid() &&
           ::fstatat(folder.get(), m_destination.name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(root, &held) == 0 && Identity::of(named) == Identity::of(held);
}

std::optional<QString> TreeCopier::hiddenUnder() const
{
    if (!standsInItsFolder() || reachedByName())
        return std::nullopt;
    const std::optional<quint64> mount = mountIdOf(copyRoot());
    const MountTable table = MountTable::current();
    const std::optional<MountEntry> own = mount ? table.withId(*mount) : std::nullopt;
    const std::optional<MountEntry> over = table.covering(m_destination.path);
    // A volume taken away from under the copy leads its path onto the disk below: nothing hides it.
    if (!own || !over || over->mountId == own->mountId ||
        !isSameOrDescendant(over->mountPoint, own->mountPoint))
        return std::nullopt;
    return over->mountPoint;
}

void TreeCopier::rootMayHaveMoved()
{
    // Only a move moves it here: the copy's root is left at its place otherwise.
    if (m_rootIsFile && m_rootFile.isValid() && !standsInItsFolder())
        stamp(m_rootFile.get());
}

int TreeCopier::copyRoot() const
{
    return m_rootIsFile ? m_rootFile.get() : m_destinationRoot.get();
}

std::optional<QString> TreeCopier::placeNow() const
{
    const int root = copyRoot();
    return root >= 0 ? folderPathOf(root) : std::nullopt;
}

QStringList TreeCopier::lostCopies() const
{
    QStringList paths;
    const std::lock_guard lock(m_changedLock);
    for (const QByteArray& relative : m_lost)
        paths.append(relative.isEmpty() ? m_source.path
                                        : m_source.path + QLatin1Char('/') + QFile::decodeName(relative));
    paths.removeDuplicates(); // a removal that goes again asks again
    return paths;
}

std::optional<UnprovenCopy> TreeCopier::copyAt(const QByteArray& relativePath) const
{
    if (relativePath.isEmpty())
        return UnprovenCopy{}; // the copy of a single file is held open
    if (!m_destinationRoot.isValid())
        return std::nullopt;
    const UniqueFd copy = openBeneath(m_destinationRoot.get(), relativePath, O_PATH);
    struct stat info {};
    if (!copy.isValid() || ::fstat(copy.get(), &info) != 0)
        return std::nullopt;
    return UnprovenCopy{relativePath, Identity::of(info)};
}

void TreeCopier::compareUnproven()
{
    std::vector<QHash<Identity, UnprovenCopy>::const_iterator> files;
    files.reserve(size_t(m_unproven.size()));
    for (auto each = m_unproven.cbegin(); each != m_unproven.cend(); ++each) {
        // One compared before (a refresh asks first) is held to the status it kept then.
        if (!m_foundSame.contains(each.key()) && !m_foundChanged.contains(each.key()))
            files.push_back(each);
    }
    std::atomic<size_t> next = 0;
    const auto compare = [&] {
        for (size_t index = next++; index < files.size(); index = next++)
            sameAsCopy(files[index].key(), *files[index]);
    };
    // A comparison mostly waits for both disks: as many threads as a copy's keep them busy, once
    // there are files enough to share.
    runWithHelpers(std::min<size_t>(files.size() / 16, size_t(FileWorkPool::defaultWorkerCount() - 1)),
                   compare);
}

bool TreeCopier::sameAsCopy(const Identity& source, const UnprovenCopy& copy, const struct stat* now) const
{
    {
        const std::lock_guard lock(m_changedLock);
        if (m_foundChanged.contains(source))
            return false; // a removal that looks at the files again need not read them again
        const auto compared = m_foundSame.constFind(source);
        if (compared != m_foundSame.cend() && now) {
            // Unchanged while it shows the status it kept throughout that comparison. A write with a
            // new size or modification time changed it. A change time that moved alone proves
            // nothing either way: removing another of its names moves it, and so does a write whose
            // program put the old modification time back. While another name keeps the file, this
            // one may go (nothing is lost with it); the last name is compared once more.
            const FileStatus status = FileStatus::of(*now);
            if (compared->sameAs(status))
                return true;
            if (!compared->sameContentTimes(status)) {
                m_foundChanged.insert(source);
                return false;
            }
            if (now->st_nlink > 1)
                return true;
        }
    }
    const UniqueFd original = openSource(source, copy.relativePath);
    // The copy is reached through the destination itself, not its path: the caller may have put it
    // elsewhere meanwhile (an undo puts it in the place of the link before the source goes).
    UniqueFd copied;
    if (!copy.relativePath.isEmpty() && m_destinationRoot.isValid())
        copied = openToCompare(FileBeneath{m_destinationRoot.get(), copy.relativePath, copy.copy});
    const int copiedFd = copy.relativePath.isEmpty() ? m_rootCopy.get() : copied.get();
    FileStatus kept;
    const bool same = original.isValid() && copiedFd >= 0 && sameContent(original.get(), copiedFd, &kept);
    const std::lock_guard lock(m_changedLock);
    if (!same)
        m_foundChanged.insert(source);
    else
        m_foundSame.insert(source, kept);
    // `now` was read before this comparison, which proved the content as it stood throughout: a
    // write after that look and before the comparison is in what was compared.
    return same;
}

UniqueFd TreeCopier::openSource(const Identity& source, const QByteArray& firstName) const
{
    UniqueFd fd = openToCompare(FileBeneath{m_source.parent.get(), m_source.below(firstName), source});
    // A file with several names may have lost the first to this very removal.
    for (const QByteArray& name : m_laterLinks.value(source)) {
        if (fd.isValid())
            break;
        fd = openToCompare(FileBeneath{m_source.parent.get(), m_source.below(name), source});
    }
    return fd;
}

void TreeCopier::requireExpectedRoot(const WalkEntry& entry) const
{
    if (entry.depth == 0 && m_sourceIdentity && Identity::of(entry.info) != *m_sourceIdentity)
        fail(EBUSY, entry.path());
}

bool TreeCopier::enterDirectory(const WalkEntry& entry, int)
{
    ++m_sequence;
    stopIfFailed();
    requireExpectedRoot(entry);
    const int parent = destinationParent(entry);
    const char* name = destinationName(entry);
    if (::mkdirat(parent, name, 0700) != 0)
        fail(errno, destinationPath(entry));
    // Owner-only while it fills, whatever the umask; the real mode comes once its contents are in. A
    // volume without modes keeps its own.
    if ((noteCreated(entry, AT_REMOVEDIR).st_mode & 07777) != 0700 &&
        ::fchmodat(parent, name, 0700, 0) != 0 && !isModeRefusal(errno))
        fail(errno, destinationPath(entry));
    UniqueFd fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd.isValid() || ::fstat(fd.get(), &info) != 0)
        fail(errno, destinationPath(entry));
    if (!m_created.contains(Identity::of(info)))
        fail(EBUSY, destinationPath(entry)); // replaced between mkdir and open
    m_directories.push_back(Identity::of(info));
    m_folderCopies.insert(Identity::of(entry.info), FolderCopy{Identity::of(info), listedNow()});
    if (entry.depth == 0) {
        m_destinationRoot = duplicateFd(fd.get());
        m_root = Identity::of(entry.info);
    }
    m_current = std::move(fd);
    remember(entry.info);
    m_pool.enterDirectory(entry.depth == 0 ? QByteArray() : entry.relativePath() + '/', entry.info);
    return true;
}

void TreeCopier::leaveDirectory(const WalkEntry& entry, int fd)
{
    ++m_sequence;
    m_directories.pop_back();
    UniqueFd parent;
    if (!m_directories.empty()) {
        // Climb back before the directory gets its own mode, which may forbid the lookup of "..".
        parent = UniqueFd(::openat(m_current.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat info {};
        if (!parent.isValid() || ::fstat(parent.get(), &info) != 0)
            fail(errno, destinationPath(entry));
        if (Identity::of(info) != m_directories.back())
            fail(EBUSY, destinationPath(entry));
    }
    // With files still being copied into it, the last of them gives the directory its metadata.
    if (m_pool.leaveDirectory(m_sequence))
        applyMetadata(m_current.get(), fd, entry.info, entry);
    m_current = std::move(parent);
}

void TreeCopier::visitEntry(const WalkEntry& entry)
{
    ++m_sequence;
    stopIfFailed();
    requireExpectedRoot(entry);
    const bool multiplyLinked = entry.info.st_nlink > 1;
    if (multiplyLinked) {
        const auto first = m_firstLinks.constFind(Identity::of(entry.info));
        if (first != m_firstLinks.cend()) {
            m_laterLinks[Identity::of(entry.info)].append(entry.relativePath());
            return linkToFirst(entry, *first);
        }
    }
    switch (entry.info.st_mode & S_IFMT) {
    case S_IFREG:
        if (entry.depth == 0)
            remember(copyRootFile(entry));
        else
            queueFile(entry, multiplyLinked); // the worker remembers what it took
        break;
    case S_IFLNK:
        copyLink(entry);
        remember(entry.info);
        break;
    case S_IFIFO:
        copyFifo(entry);
        remember(entry.info);
        break;
    default:
        fail(EOPNOTSUPP, entry.path()); // sockets and devices cannot be carried to another disk
    }
    if (multiplyLinked && entry.depth > 0)
        m_firstLinks.insert(Identity::of(entry.info), entry.relativePath());
}

void TreeCopier::walkFailed(const WalkEntry& entry, int errorNumber)
{
    fail(errorNumber, entry.path());
}

void TreeCopier::stopIfFailed() const
{
    if (m_pool.failed())
        throw Stopped{};
}

struct stat TreeCopier::copyRootFile(const WalkEntry& entry)
{
    // Made empty first, so the caller learns its identity before any data goes in.
    const Identity prepared = createRootFile(entry);
    const FileCopyResult result =
        copyRegularFile(FileCopyRequest{entry.parentFd, entry.name.constData(), Identity::of(entry.info),
                                        destinationParent(entry), destinationName(entry), prepared},
                        m_data, m_asRoot);
    if (result.created)
        m_created.insert(*result.created);
    m_refused.add(result.refusedAttributes, destinationPath(entry));
    if (result.errorNumber != 0)
        fail(result.errorNumber, result.atDestination ? destinationPath(entry) : entry.path());
    m_root = Identity::of(result.taken);
    m_rootIsFile = true;
    m_stamps.insert(prepared, result.copyChanged);
    if (!m_times.provesUnchanged(result.taken))
        m_unproven.insert(Identity::of(result.taken), UnprovenCopy{QByteArray(), prepared});
    // Held open, so that whatever the copy is renamed to, a comparison finds it: one the times call
    // for now, or later, should the file's change time move. Should this fail, a file that needs
    // one is kept: a comparison without the copy proves nothing.
    m_rootCopy = openToCompare(FileBeneath{destinationParent(entry), m_destination.name, prepared});
    // And held without reading it, whatever its mode, to tell where it is and whether it stands.
    m_rootFile = UniqueFd(
        ::openat(destinationParent(entry), m_destination.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat held {};
    if (m_rootFile.isValid() && (::fstat(m_rootFile.get(), &held) != 0 || Identity::of(held) != prepared))
        m_rootFile.reset();
    return result.taken;
}

void TreeCopier::queueFile(const WalkEntry& entry, bool multiplyLinked)
{
    // The first of a hard-linked group is made here, empty, so the walk can link the others to it
    // at once; a worker fills it in through any of its names.
    std::optional<Identity> prepared;
    if (multiplyLinked)
        prepared = prepareFile(entry);
    FileWorkPool::File file{entry.name, Identity::of(entry.info), entry.info.st_size, prepared, m_sequence};
    if (const int error = m_pool.submitFile(entry.parentFd, m_current.get(), std::move(file)); error != 0)
        fail(error, entry.path());
}

TreeCopier::Identity TreeCopier::createRootFile(const WalkEntry& entry)
{
    UniqueFd fd(::openat(destinationParent(entry), destinationName(entry),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.isValid())
        fail(errno, destinationPath(entry));
    return Identity::of(noteCreated(entry, 0));
}

TreeCopier::Identity TreeCopier::prepareFile(const WalkEntry& entry)
{
    UniqueFd fd(::openat(m_current.get(), entry.name.constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat info {};
    if (!fd.isValid())
        fail(errno, destinationPath(entry));
    if (::fstat(fd.get(), &info) != 0) {
        const int error = errno;
        ::unlinkat(m_current.get(), entry.name.constData(), 0);
        fail(error, destinationPath(entry));
    }
    m_created.insert(Identity::of(info));
    // Writable by its owner whatever the umask, for the worker that reopens it.
    if ((info.st_mode & 0600) != 0600 && ::fchmod(fd.get(), 0600) != 0)
        fail(errno, destinationPath(entry));
    return Identity::of(info);
}

void TreeCopier::copyLink(const WalkEntry& entry)
{
    QByteArray text;
    for (qsizetype capacity = std::max<qsizetype>(entry.info.st_size, 63) + 1;; capacity *= 2) {
        text.resize(capacity);
        const ssize_t length =
            ::readlinkat(entry.parentFd, entry.name.constData(), text.data(), size_t(capacity));
        if (length < 0)
            fail(errno, entry.path());
        if (length < capacity) {
            text.resize(length);
            break;
        }
    }
    if (::symlinkat(text.constData(), destinationParent(entry), destinationName(entry)) != 0)
        fail(errno, destinationPath(entry));
    noteCreated(entry, 0);
    applyMetadataAt(entry, true);
}

void TreeCopier::copyFifo(const WalkEntry& entry)
{
    if (::mkfifoat(destinationParent(entry), destinationName(entry), 0600) != 0)
        fail(errno, destinationPath(entry));
    noteCreated(entry, 0);
    applyMetadataAt(entry, false);
}

void TreeCopier::linkToFirst(const WalkEntry& entry, const QByteArray& firstRelative)
{
    // The first copy may lie anywhere in the tree: reach its directory from the destination root
    // one step at a time, so neither PATH_MAX nor a link on the way can interfere.
    QList<QByteArray> steps = firstRelative.split('/');
    const QByteArray firstName = steps.takeLast();
    int directory = m_destinationRoot.get();
    UniqueFd step;
    for (const QByteArray& name : steps) {
        UniqueFd next(::openat(directory, name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.isValid())
            fail(errno, m_destination.path + QLatin1Char('/') + QFile::decodeName(firstRelative));
        step = std::move(next);
        directory = step.get();
    }
    if (::linkat(directory, firstName.constData(), m_current.get(), entry.name.constData(), 0) != 0)
        fail(errno, destinationPath(entry));
    stamp(m_current.get(), entry.name.constData()); // a new name moves the file's change time
}

int TreeCopier::destinationParent(const WalkEntry& entry) const
{
    return entry.depth == 0 ? m_destination.parent.get() : m_current.get();
}

const char* TreeCopier::destinationName(const WalkEntry& entry) const
{
    return entry.depth == 0 ? m_destination.name.constData() : entry.name.constData();
}

QString TreeCopier::destinationPath(const WalkEntry& entry) const
{
    if (entry.depth == 0)
        return m_destination.path;
    return m_destination.path + QLatin1Char('/') + QFile::decodeName(entry.relativePath());
}

struct stat TreeCopier::noteCreated(const WalkEntry& entry, int removeFlags)
{
    struct stat info {};
    if (::fstatat(destinationParent(entry), destinationName(entry), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        ::unlinkat(destinationParent(entry), destinationName(entry), removeFlags);
        fail(error, destinationPath(entry));
    }
    m_created.insert(Identity::of(info));
    if (entry.depth == 0 && m_createdHook)
        m_createdHook(); // a throw removes it again with the rest of what this copy made
    return info;
}

void TreeCopier::applyMetadata(int fd, int sourceFd, const struct stat& info, const WalkEntry& entry)
{
    QSet<QByteArray> refused;
    const int error = applyCopiedMetadata(fd, info, m_asRoot, sourceFd, refused);
    m_refused.add(refused, destinationPath(entry));
    if (error != 0)
        fail(error, destinationPath(entry));
}

void TreeCopier::applyMetadataAt(const WalkEntry& entry, bool isLink)
{
    const int parent = destinationParent(entry);
    const char* name = destinationName(entry);
    if (m_asRoot && ::fchownat(parent, name, entry.info.st_uid, entry.info.st_gid, AT_SYMLINK_NOFOLLOW) != 0)
        fail(errno, destinationPath(entry));
    // Links and FIFOs can carry only trusted.* and security.* attributes (user.* and ACLs belong to
    // files and folders), which only root may read: without root there is nothing to ask /proc for.
    if (m_asRoot) {
        QSet<QByteArray> refused;
        const int error =
            copyExtendedAttributesAt(entry.parentFd, entry.name.constData(), parent, name, m_asRoot, refused);
        m_refused.add(refused, destinationPath(entry));
        if (error != 0)
            fail(error, destinationPath(entry));
    }
    // A link has no mode of its own. For a FIFO the name was made by this copy a moment ago; without
    // /proc, fchmodat cannot refuse to follow a link, so it is asked to follow.
    if (!isLink && ::fchmodat(parent, name, entry.info.st_mode & 07777, 0) != 0)
        fail(errno, destinationPath(entry));
    const struct timespec times[2] = {entry.info.st_atim, entry.info.st_mtim};
    if (::utimensat(parent, name, times, AT_SYMLINK_NOFOLLOW) != 0)
        fail(errno, destinationPath(entry));
}

void TreeCopier::remember(const struct stat& info)
{
    m_copied.insert(Identity::of(info), Fingerprint::of(info));
}

void TreeCopier::flushDestination()
{
    if (!m_destinationRoot.isValid()) // a single entry: its directory is on the same disk
        m_destinationRoot =
            UniqueFd(::openat(m_destination.parent.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_destinationRoot.isValid()) {
        ::sync();
        return;
    }
    if (::syncfs(m_destinationRoot.get()) != 0)
        fail(errno, m_destination.path);
}

RefusedAttributes TreeCopier::refusedAttributes() const
{
    RefusedAttributes all = m_refused;
    all.merge(m_task.refusedAttributes());
    return all;
}

void TreeCopier::discard()
{
    m_current.reset();
    m_destinationRoot.reset();
    m_rootCopy.reset();
    m_rootFile.reset();
    removeCreated();
}

void TreeCopier::removeCreated()
{
    if (m_created.isEmpty())
        return; // not even the destination itself: whatever stands there is someone else's
    RemovalRules rules;
    rules.mayRemove = [this](const struct stat& info) {
        return m_created.contains(Identity::of(info));
    };
    rules.keptIsLeftover = false;
    rules.makeDirectoriesWritable = true;
    const RemovalOutcome outcome =
        removeTreeAt(m_destination.parent.get(), m_destination.name, m_destination.path, rules);
    if (outcome.firstError)
        qCWarning(lcTreeCopy) << "partial copy not fully removed:" << outcome.leftoverPaths
                              << outcome.firstError->message();
}

void TreeCopier::fail(int errorNumber, const QString& path) const
{
    throw PlatformError::fromErrno(errorNumber, path);
}

} // namespace orvalink::platform
