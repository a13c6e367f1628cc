// TreeCopier::refresh: one look over the source after a copy, bringing what changed since over to
// the copy.
#include "platform/ContentComparison.h"
#include "platform/FileIO.h"
#include "platform/FileMove.h"
#include "platform/HelperThreads.h"
#include "platform/PlatformError.h"
#include "platform/RegularFileCopy.h"
#include "platform/TreeCopier.h"
#include "platform/TreeRemoval.h"
#include "platform/TreeWalker.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

constexpr QByteArrayView kTemporaryPrefix = ".orvalink-refresh-";
constexpr int kNameAttempts = 1000;

// The entry shows the size, times, mode and owner the copy took it with: nothing was done to it
// since, not even to its attributes (which move its change time alone).
bool sameAsTaken(const EntryFingerprint& taken, const struct stat& now)
{
    return FileStatus{taken.size, taken.modified, taken.changed}.sameAs(FileStatus::of(now)) &&
           taken.mode == now.st_mode && taken.owner == now.st_uid && taken.group == now.st_gid;
}

} // namespace

// Thrown into a look's walk at the first thing it would change.
struct FoundChange {};

class CopyRefresh : private TreeVisitor {
public:
    // With `lookOnly` nothing is changed: the walk stops at the first entry a refresh would act on.
    CopyRefresh(TreeCopier& copier, TreeCopier::RefreshScope scope, bool lookOnly = false)
        : c(copier), m_mirror(scope == TreeCopier::RefreshScope::mirror), m_lookOnly(lookOnly)
    {}

    QStringList run()
    {
        try {
            walkTree(c.m_source.parent.get(), c.m_source.name, c.m_source.path, *this);
        } catch (const FoundChange&) {
            // A look stops at the first change.
        }
        c.m_current.reset();
        if (!m_changed.isEmpty() && !m_lookOnly)
            c.flushDestination();
        return m_changed;
    }

    // A look that hands the folders of the source's top level to `subtrees` instead of walking
    // them, for looks of their own (see lookBelow).
    void handOffFolders(QList<QByteArray>* subtrees) { m_subtrees = subtrees; }

    // A look at the folder `name` of the source's top level, below the copy's root.
    QStringList lookBelow(const QByteArray& name)
    {
        Level root;
        root.copy = duplicateFd(c.m_destinationRoot.get());
        m_levels.push_back(std::move(root));
        m_depthOffset = 1;
        const UniqueFd source = openBeneath(c.m_source.parent.get(), c.m_source.name, O_PATH | O_DIRECTORY);
        try {
            if (!source.isValid())
                changing(c.m_source.path);
            walkTree(source.get(), name, c.m_source.path + QLatin1Char('/') + QFile::decodeName(name), *this);
        } catch (const FoundChange&) {
        }
        return m_changed;
    }

private:
    using Identity = EntryIdentity;

    // A folder of the copy that the walk is in.
    struct Level {
        QByteArray name;        // in the folder above
        QByteArray relative;    // below the copy's root, "" for the root itself
        UniqueFd copy;          // opened when first needed
        struct stat found {};   // the copy folder as it was opened
        bool made = false;      // made by this refresh
        bool fresh = false;     // made or taken over by this refresh: everything in it is copied
        bool reconcile = false; // the source's names may have changed: names it no longer has go
        bool dirty = false;     // something in it changed: its mode and times are set again
        bool writable = false;  // its owner may write in it
        bool stale = false;     // the copy's mode, owner or times may not be the source's
        qsizetype met = 0;      // the source's entries met in it
    };

    bool enterDirectory(const WalkEntry& entry, int) override
    {
        if (depthOf(entry) == 0) {
            if (!c.m_destinationRoot.isValid())
                c.fail(EBUSY, entry.path());
            if (Identity::of(entry.info) != c.m_root)
                rootReplaced(entry.path());
            Level root;
            root.copy = duplicateFd(c.m_destinationRoot.get());
            ::fstat(root.copy.get(), &root.found);
            root.reconcile = m_mirror && !untouched(entry.info);
            root.stale = listed(entry);
            m_levels.push_back(std::move(root));
            return true;
        }
        Level& parent = m_levels.back();
        noteName(parent);
        if (m_subtrees && depthOf(entry) == 1) {
            m_subtrees->append(entry.name);
            return false;
        }
        Level level;
        level.name = entry.name;
        level.relative = relativeOf(parent, entry.name);
        const Identity source = Identity::of(entry.info);
        const auto madeFor = c.m_folderCopies.constFind(source);
        // A folder nobody touched since the copy took it stands where the copy put it, with the
        // names it had.
        if (!parent.fresh && untouched(entry.info)) {
            m_levels.push_back(std::move(level));
            return true;
        }
        UniqueFd existing(::openat(copyOf(parent), entry.name.constData(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat there {};
        if (!existing.isValid() && keepsBoth(parent, entry))
            return false;
        if (existing.isValid() && ::fstat(existing.get(), &there) == 0) {
            const Identity copy = Identity::of(there);
            const bool same = !parent.fresh && madeFor != c.m_folderCopies.cend() && madeFor->copy == copy;
            if (!same && !c.m_created.contains(copy))
                c.fail(EBUSY, copyPath(level.relative));
            level.copy = std::move(existing);
            level.found = there;
            level.reconcile = m_mirror;
            if (!same) {
                // Ours, but made for another folder (the source's were renamed): filled anew.
                changing(entry.path());
                level.fresh = true;
                c.m_folderCopies[source].copy = copy;
            }
        } else {
            makeFolder(parent, level, entry);
        }
        level.stale = listed(entry);
        m_levels.push_back(std::move(level));
        return true;
    }

    void makeFolder(Level& parent, Level& level, const WalkEntry& entry)
    {
        changing(entry.path());
        removeOurs(parent, entry.name);
        writable(parent);
        if (::mkdirat(copyOf(parent), entry.name.constData(), 0700) != 0)
            c.fail(errno, copyPath(level.relative));
        level.copy = UniqueFd(::openat(copyOf(parent), entry.name.constData(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!level.copy.isValid() || ::fstat(level.copy.get(), &level.found) != 0)
            c.fail(errno, copyPath(level.relative));
        c.m_created.insert(Identity::of(level.found));
        c.m_folderCopies[Identity::of(entry.info)].copy = Identity::of(level.found);
        level.made = level.fresh = level.writable = true;
    }

    void leaveDirectory(const WalkEntry& entry, int fd) override
    {
        Level& level = m_levels.back();
        // Where nothing was put in the copy's folder and it holds as many entries as the source's,
        // each of the source's found in place, the two hold the same names.
        if (m_mirror && level.reconcile &&
            (level.dirty || qsizetype(folderNames(copyOf(level)).size()) != level.met))
            removeWhatWent(level, entry, fd);
        struct stat now {};
        if (::fstat(fd, &now) != 0)
            c.fail(errno, entry.path());
        // Changed since its listing as well: the next look finds that.
        if (level.made || (m_mirror && (level.dirty || level.stale ||
                                        !sameAsTaken(c.m_copied.value(Identity::of(now)), now)))) {
            // As the source folder is now, which the refresh made the copy hold.
            acting(entry.path());
            QSet<QByteArray> refused;
            const int error = applyCopiedMetadata(copyOf(level), now, c.m_asRoot, fd, refused);
            c.m_refused.add(refused, copyPath(level.relative));
            if (error != 0)
                c.fail(error, copyPath(level.relative));
        } else if (level.dirty) {
            // Only additions: the folder keeps the mode and times it had.
            const struct timespec times[2] = {level.found.st_atim, level.found.st_mtim};
            if (::fchmod(level.copy.get(), level.found.st_mode & 07777) != 0 ||
                ::futimens(level.copy.get(), times) != 0)
                c.fail(errno, copyPath(level.relative));
        }
        m_levels.pop_back();
    }

    void visitEntry(const WalkEntry& entry) override
    {
        if (depthOf(entry) == 0)
            return refreshRootFile(entry);
        Level& parent = m_levels.back();
        noteName(parent);
        switch (entry.info.st_mode & S_IFMT) {
        case S_IFREG:
            return refreshFile(parent, entry);
        case S_IFLNK:
        case S_IFIFO:
            return refreshSpecial(parent, entry);
        default:
            c.fail(EOPNOTSUPP, entry.path());
        }
    }

    void walkFailed(const WalkEntry& entry, int errorNumber) override
    {
        // Gone since its folder was listed: the copy loses it too once the folder is reconciled.
        if (errorNumber == ENOENT && depthOf(entry) > 0)
            return changing(entry.path());
        c.fail(errorNumber, entry.path());
    }

    void refreshFile(Level& parent, const WalkEntry& entry)
    {
        const Identity source = Identity::of(entry.info);
        const QByteArray relative = relativeOf(parent, entry.name);
        const bool linked = entry.info.st_nlink > 1;
        if (keepsBoth(parent, entry))
            return;
        if (linked && m_recopied.contains(source))
            return linkTo(m_recopied.value(source), parent, entry);
        if (!parent.fresh && unchangedAt(entry.info, relative))
            return;
        if (linked) {
            // A new name of a file whose copy still holds what it holds.
            if (const std::optional<QByteArray> copy = unchangedCopyOf(source, entry.info))
                return linkTo(*copy, parent, entry);
        }
        changing(entry.path());
        writable(parent);
        QByteArray temporary;
        struct stat made {};
        UniqueFd file = createUniqueFile(copyOf(parent), kTemporaryPrefix.toByteArray(), temporary);
        if (!file.isValid() || ::fstat(file.get(), &made) != 0)
            c.fail(errno, copyPath(relative));
        file.reset();
        c.m_created.insert(Identity::of(made));
        const FileCopyResult result =
            copyRegularFile(FileCopyRequest{entry.parentFd, entry.name.constData(), source, copyOf(parent),
                                            temporary.constData(), Identity::of(made)},
                            c.m_data, c.m_asRoot);
        c.m_refused.add(result.refusedAttributes, copyPath(relative));
        if (result.errorNumber != 0) {
            ::unlinkat(copyOf(parent), temporary.constData(), 0);
            // Replaced or gone since the walk saw it: the next look finds what stands there.
            if (!result.atDestination && (result.errorNumber == EBUSY || result.errorNumber == ENOENT))
                return;
            c.fail(result.errorNumber, result.atDestination ? copyPath(relative) : entry.path());
        }
        putInPlace(parent, temporary, entry.name);
        took(source, result.taken, relative, Identity::of(made));
        if (linked)
            m_recopied.insert(source, relative);
    }

    void refreshRootFile(const WalkEntry& entry)
    {
        const Identity source = Identity::of(entry.info);
        if (source != c.m_root || !S_ISREG(entry.info.st_mode))
            rootReplaced(entry.path());
        if (unchangedAt(entry.info, QByteArray()))
            return;
        changing(entry.path());
        // Rewritten where it stands: the caller knows the copy by its identity.
        const UniqueFd in(
            ::openat(entry.parentFd, entry.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        UniqueFd out(::openat(c.m_destination.parent.get(), c.m_destination.name.constData(),
                              O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat taken {};
        struct stat copy {};
        if (!in.isValid() || ::fstat(in.get(), &taken) != 0 || Identity::of(taken) != source)
            c.fail(in.isValid() ? EBUSY : errno, entry.path());
        if (!out.isValid() || ::fstat(out.get(), &copy) != 0 || !c.m_created.contains(Identity::of(copy)))
            c.fail(out.isValid() ? EBUSY : errno, c.m_destination.path);
        if (::ftruncate(out.get(), 0) != 0)
            c.fail(errno, c.m_destination.path);
        try {
            c.m_data.copy(in.get(), out.get(), taken.st_size, off_t(taken.st_blocks) * 512);
        } catch (const FileDataCopier::Failure& failure) {
            c.fail(failure.errorNumber, failure.atDestination ? c.m_destination.path : entry.path());
        }
        QSet<QByteArray> refused;
        const int error = applyCopiedMetadata(out.get(), taken, c.m_asRoot, in.get(), refused);
        c.m_refused.add(refused, c.m_destination.path);
        if (error == 0)
            c.stamp(out.get());
        if (const int closed = error != 0 ? error : out.close(); closed != 0)
            c.fail(closed, c.m_destination.path);
        took(source, taken, QByteArray(), Identity::of(copy));
    }

    void refreshSpecial(Level& parent, const WalkEntry& entry)
    {
        const QByteArray relative = relativeOf(parent, entry.name);
        if (!parent.fresh && sameSpecialAt(parent, entry))
            return;
        if (keepsBoth(parent, entry))
            return;
        changing(entry.path());
        removeOurs(parent, entry.name);
        writable(parent);
        // Made as the copy makes them, in the folder the copier is pointed at.
        c.m_current = duplicateFd(copyOf(parent));
        if (S_ISLNK(entry.info.st_mode))
            c.copyLink(entry);
        else
            c.copyFifo(entry);
        c.remember(entry.info);
    }

    // Whether the source's `entry` would take the place of something of the copy whose original the
    // removal may have taken already, in a refresh of additions only: it is not the entry the copy
    // took (made anew, or under an inode number the removal freed), or not of the kind the copy holds
    // there. Nothing of the copy is replaced then: the copy's version stays where it is, the source's
    // at the source, a change for the caller to take up (see MoveResult::changedPaths).
    bool keepsBoth(Level& parent, const WalkEntry& entry)
    {
        struct stat there {};
        if (m_mirror || ::fstatat(copyOf(parent), entry.name.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        const Identity source = Identity::of(entry.info);
        bool released = false;
        {
            const std::lock_guard lock(c.m_changedLock);
            released = c.m_released.contains(source);
        }
        if (!released && c.m_copied.contains(source) &&
            (there.st_mode & S_IFMT) == (entry.info.st_mode & S_IFMT))
            return false; // written where it stands: its new content replaces the old
        changing(entry.path());
        return true;
    }

    // The same kind of entry as the copy took, untouched since, and at the same place in the copy.
    bool sameSpecialAt(Level& parent, const WalkEntry& entry)
    {
        const auto taken = c.m_copied.constFind(Identity::of(entry.info));
        if (taken == c.m_copied.cend() || !sameAsTaken(*taken, entry.info))
            return false;
        if (c.m_times.provesUnchanged(entry.info))
            return true;
        struct stat there {};
        if (::fstatat(copyOf(parent), entry.name.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
            (there.st_mode & S_IFMT) != (entry.info.st_mode & S_IFMT))
            return false;
        return !S_ISLNK(entry.info.st_mode) ||
               linkText(entry.parentFd, entry.name) == linkText(copyOf(parent), entry.name);
    }

    static QByteArray linkText(int folder, const QByteArray& name)
    {
        QByteArray text(4096, '\0');
        const ssize_t length = ::readlinkat(folder, name.constData(), text.data(), size_t(text.size()));
        return length < 0 ? QByteArray() : text.left(length);
    }

    // As the removal judges it (see copiedUnchanged), and at this very place in the copy.
    bool unchangedAt(const struct stat& info, const QByteArray& relative) const
    {
        const Identity source = Identity::of(info);
        const auto taken = c.m_copied.constFind(source);
        if (taken == c.m_copied.cend() || !sameAsTaken(*taken, info))
            return false;
        const auto unproven = c.m_unproven.constFind(source);
        if (unproven != c.m_unproven.cend())
            return isNameOf(source, *unproven, relative) && c.sameAsCopy(source, *unproven, &info);
        // Neither written nor renamed since the copy took it: the change time would tell.
        if (c.m_times.provesUnchanged(info))
            return true;
        const std::optional<UnprovenCopy> copy = c.copyAt(relative);
        return copy && c.sameAsCopy(source, *copy, &info);
    }

    bool isNameOf(const Identity& source, const UnprovenCopy& copy, const QByteArray& relative) const
    {
        return copy.relativePath == relative || c.m_firstLinks.value(source) == relative ||
               c.m_laterLinks.value(source).contains(relative);
    }

    // A copy of the multiply linked `source` that holds what it holds now, to link another name to.
    std::optional<QByteArray> unchangedCopyOf(const Identity& source, const struct stat& info) const
    {
        const auto taken = c.m_copied.constFind(source);
        // Where the copy took it: under its first name, or the only one it had then.
        QByteArray first = c.m_firstLinks.value(source);
        if (first.isEmpty())
            first = c.m_unproven.value(source).relativePath;
        if (taken == c.m_copied.cend() || !sameAsTaken(*taken, info) || first.isEmpty())
            return std::nullopt;
        const std::optional<UnprovenCopy> copy = c.copyAt(first);
        if (!copy || !c.sameAsCopy(source, *copy, &info))
            return std::nullopt;
        return first;
    }

    // Puts another name of the copy at `firstRelative` in place of the entry's copy.
    void linkTo(const QByteArray& firstRelative, Level& parent, const WalkEntry& entry)
    {
        const qsizetype slash = firstRelative.lastIndexOf('/');
        const QByteArray firstName = firstRelative.mid(slash + 1);
        const UniqueFd folder = slash < 0 ? duplicateFd(c.m_destinationRoot.get())
                                          : openBeneath(c.m_destinationRoot.get(), firstRelative.left(slash),
                                                        O_PATH | O_DIRECTORY);
        struct stat first {};
        struct stat there {};
        if (!folder.isValid() ||
            ::fstatat(folder.get(), firstName.constData(), &first, AT_SYMLINK_NOFOLLOW) != 0)
            c.fail(errno, copyPath(firstRelative));
        if (::fstatat(copyOf(parent), entry.name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            Identity::of(there) == Identity::of(first))
            return; // already a name of that copy
        changing(entry.path());
        writable(parent);
        QByteArray temporary;
        for (int attempt = 0;; ++attempt) {
            temporary = kTemporaryPrefix.toByteArray() + QByteArray::number(attempt);
            if (::linkat(folder.get(), firstName.constData(), copyOf(parent), temporary.constData(), 0) == 0)
                break;
            if (errno != EEXIST || attempt == kNameAttempts)
                c.fail(errno, copyPath(relativeOf(parent, entry.name)));
        }
        putInPlace(parent, temporary, entry.name);
        QList<QByteArray>& names = c.m_laterLinks[Identity::of(entry.info)];
        if (!names.contains(relativeOf(parent, entry.name)))
            names.append(relativeOf(parent, entry.name));
    }

    // Renames the new entry `temporary` over the copy's entry `name`, which must be ours.
    void putInPlace(Level& parent, const QByteArray& temporary, const QByteArray& name)
    {
        const int folder = copyOf(parent);
        struct stat there {};
        QSet<Identity> replaced;
        if (::fstatat(folder, name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0) {
            if (!c.m_created.contains(Identity::of(there)))
                c.fail(EBUSY, copyPath(relativeOf(parent, name)));
            // A file now stands where the copy has a folder: the folder goes first.
            if (S_ISDIR(there.st_mode))
                removeOurs(parent, name);
            else
                noteOtherNames(there, replaced);
        }
        if (::renameat(folder, temporary.constData(), folder, name.constData()) != 0) {
            const int error = errno;
            ::unlinkat(folder, temporary.constData(), 0);
            c.fail(error, copyPath(relativeOf(parent, name)));
        }
        // The rename moved the change time of what it put in place, and the name it replaced that of
        // the file's other names.
        c.stamp(folder, name.constData());
        c.stampOtherNames(replaced);
    }

    // A file of the copy that keeps other names once this one goes: its change time moves with it.
    static void noteOtherNames(const struct stat& info, QSet<Identity>& linked)
    {
        if (S_ISREG(info.st_mode) && info.st_nlink > 1)
            linked.insert(Identity::of(info));
    }

    // Removes the copy's entry `name` when this copy made it; anything else there is refused.
    void removeOurs(Level& parent, const QByteArray& name)
    {
        struct stat there {};
        if (::fstatat(copyOf(parent), name.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        const QString path = copyPath(relativeOf(parent, name));
        if (!c.m_created.contains(Identity::of(there)))
            c.fail(EBUSY, path);
        writable(parent);
        QSet<Identity> linked;
        if (!S_ISDIR(there.st_mode)) {
            noteOtherNames(there, linked);
            if (::unlinkat(copyOf(parent), name.constData(), 0) != 0)
                c.fail(errno, path);
            c.stampOtherNames(linked);
            return;
        }
        RemovalRules rules;
        rules.mayRemove = [this, &linked](const struct stat& info) {
            noteOtherNames(info, linked);
            return c.m_created.contains(Identity::of(info));
        };
        rules.makeDirectoriesWritable = true;
        const RemovalOutcome outcome = removeTreeAt(copyOf(parent), name, path, rules);
        c.stampOtherNames(linked);
        if (outcome.firstError)
            throw *outcome.firstError;
    }

    // What the copy's folder holds that the source's (open at `source`) no longer does.
    void removeWhatWent(Level& level, const WalkEntry& entry, int source)
    {
        const std::vector<QByteArray> listed = folderNames(source);
        const QSet<QByteArray> names(listed.cbegin(), listed.cend());
        for (const QByteArray& name : folderNames(copyOf(level))) {
            if (names.contains(name))
                continue;
            struct stat there {};
            if (::fstatat(copyOf(level), name.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
                !c.m_created.contains(Identity::of(there)))
                continue; // not ours: somebody else's, left alone
            changing(entry.path() + QLatin1Char('/') + QFile::decodeName(name));
            removeOurs(level, name);
        }
    }

    void took(const Identity& source, const struct stat& taken, const QByteArray& relative,
              const Identity& copy)
    {
        c.remember(taken);
        {
            const std::lock_guard lock(c.m_changedLock);
            c.m_foundChanged.remove(source);
            c.m_foundSame.remove(source);
        }
        if (c.m_times.provesUnchanged(taken))
            c.m_unproven.remove(source);
        else
            c.m_unproven.insert(source, UnprovenCopy{relative, copy});
    }

    // A folder's times prove that nothing in it changed since the copy (or the last look) listed it.
    bool untouched(const struct stat& info) const
    {
        const auto taken = c.m_copied.constFind(Identity::of(info));
        const auto folder = c.m_folderCopies.constFind(Identity::of(info));
        return taken != c.m_copied.cend() && folder != c.m_folderCopies.cend() && sameAsTaken(*taken, info) &&
               c.m_times.provesListingCurrent(info, folder->listed);
    }

    // This look listed the folder: what it finds there is what the copy holds from now on, as the
    // folder was when it was listed. Answers whether it showed another mode, owner or times than
    // the copy took it with.
    bool listed(const WalkEntry& entry)
    {
        const Identity folder = Identity::of(entry.info);
        const auto taken = c.m_copied.constFind(folder);
        const bool stale = taken == c.m_copied.cend() || !sameAsTaken(*taken, entry.info);
        if (!m_lookOnly) {
            c.remember(entry.info);
            c.m_folderCopies[folder].listed = TreeCopier::listedNow();
        }
        return stale;
    }

    // The copy's folder of a level of the walk, opened from the one above when first needed.
    int copyOf(Level& level)
    {
        if (!level.copy.isValid()) {
            Level& above = m_levels[size_t(&level - m_levels.data()) - 1];
            level.copy = UniqueFd(::openat(copyOf(above), level.name.constData(),
                                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!level.copy.isValid() || ::fstat(level.copy.get(), &level.found) != 0)
                c.fail(errno, copyPath(level.relative));
        }
        return level.copy.get();
    }

    // Lets the owner write in the folder until its mode is set again on the way out.
    void writable(Level& level)
    {
        level.dirty = true;
        if (level.writable)
            return;
        const int folder = copyOf(level);
        if ((level.found.st_mode & 0700) != 0700 &&
            ::fchmod(folder, (level.found.st_mode & 07777) | 0700) != 0)
            c.fail(errno, copyPath(level.relative));
        level.writable = true;
    }

    static void noteName(Level& parent) { ++parent.met; }

    static QByteArray relativeOf(const Level& parent, const QByteArray& name)
    {
        return parent.relative.isEmpty() ? name : parent.relative + '/' + name;
    }

    QString copyPath(const QByteArray& relative) const
    {
        return relative.isEmpty() ? c.m_destination.path
                                  : c.m_destination.path + QLatin1Char('/') + QFile::decodeName(relative);
    }

    int depthOf(const WalkEntry& entry) const { return entry.depth + m_depthOffset; }

    // About to change what stands at `path` in the copy (named as the source has it): one change
    // more, and where a look only looks, the end of its walk.
    void changing(const QString& path)
    {
        m_changed.append(path);
        if (m_lookOnly)
            throw FoundChange{};
    }

    // The source itself is another entry than the copy took (saved through a rename, say). The
    // caller knows the copy and the source by their identities, so no refresh can follow it: a look
    // reports the change, a refresh gives up on it.
    [[noreturn]] void rootReplaced(const QString& path)
    {
        if (m_lookOnly)
            changing(path);
        throw KeptChangingError(path);
    }

    // About to set the mode and times of the copy of `path` again: no change of its own, but a look
    // ends there all the same.
    void acting(const QString& path)
    {
        if (m_lookOnly)
            changing(path);
    }

    TreeCopier& c;
    const bool m_mirror;
    const bool m_lookOnly;
    int m_depthOffset = 0;
    QList<QByteArray>* m_subtrees = nullptr;
    std::vector<Level> m_levels;
    QHash<Identity, QByteArray> m_recopied; // multiply linked files copied anew -> where
    QStringList m_changed;
};

QStringList TreeCopier::refresh(RefreshScope scope)
{
    return CopyRefresh(*this, scope).run();
}

QStringList TreeCopier::lookForChanges()
{
    // The top level on this thread; each of its folders on one of several, which look only until
    // any of them found something.
    QList<QByteArray> folders;
    CopyRefresh top(*this, RefreshScope::mirror, true);
    top.handOffFolders(&folders);
    QStringList found = top.run();
    if (!found.isEmpty())
        return found;
    std::atomic<qsizetype> next = 0;
    std::mutex foundLock;
    std::exception_ptr failure;
    const auto look = [&] {
        for (qsizetype index = next++; index < folders.size(); index = next++) {
            QStringList changed;
            std::exception_ptr failed;
            try {
                changed = CopyRefresh(*this, RefreshScope::mirror, true).lookBelow(folders[index]);
            } catch (...) {
                failed = std::current_exception();
            }
            const std::lock_guard lock(foundLock);
            if (failed && !failure)
                failure = failed;
            if (!changed.isEmpty() && found.isEmpty())
                found = changed;
            if (failure || !found.isEmpty())
                next = folders.size();
        }
    };
    // As many threads as folders, up to a copy's number of workers, counting this one.
    const qsizetype threads = std::min<qsizetype>(folders.size(), FileWorkPool::defaultWorkerCount());
    runWithHelpers(size_t(std::max<qsizetype>(threads - 1, 0)), look);
    if (failure)
        std::rethrow_exception(failure);
    return found;
}

} // namespace orvalink::platform
