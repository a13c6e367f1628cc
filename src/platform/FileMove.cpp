#include "platform/FileMove.h"

#include "platform/EntryLocation.h"
#include "platform/FileSweep.h"
#include "platform/TreeCopier.h"
#include "platform/TreeRemoval.h"

#include <QLoggingCategory>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

namespace orvalink::platform {

Q_LOGGING_CATEGORY(lcMove, "orvalink.platform.move")

namespace {

[[noreturn]] void throwMoveError(int error, const EntryLocation& from, const EntryLocation& to)
{
    throw PlatformError(error, errnoText(error) + QStringLiteral(": ") + from.path + QStringLiteral(" -> ") +
                                   to.path);
}

std::optional<EntryIdentity> identityAt(const EntryLocation& location)
{
    struct stat info {};
    if (::fstatat(location.parent.get(), location.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return EntryIdentity::of(info);
}

// A rename cannot be told which entry to take: what stands at the source is looked at first, and
// what arrived is looked at again, so an entry slipped in between is put back where it was.
void renameExpected(const EntryLocation& from, const EntryLocation& to, const EntryIdentity& expected)
{
    if (identityAt(from) != expected)
        throw PlatformError::fromErrno(EBUSY, from.path);
    if (::renameat2(from.parent.get(), from.name.constData(), to.parent.get(), to.name.constData(),
                    RENAME_NOREPLACE) != 0)
        throwMoveError(errno, from, to);
    if (identityAt(to) == expected)
        return;
    if (::renameat2(to.parent.get(), to.name.constData(), from.parent.get(), from.name.constData(),
                    RENAME_NOREPLACE) != 0)
        qCWarning(lcMove) << "an entry that replaced" << from.path << "meanwhile stays at" << to.path;
    throw PlatformError::fromErrno(EBUSY, from.path);
}

// Looks over the source until the copy holds what it holds, or gives up. Whatever it throws, the
// copy is undone and the source stays as it is.
void settle(TreeCopier& copier)
{
    try {
        copier.compareUnproven();
        for (int look = 1;; ++look) {
            const QStringList changed = copier.lookForChanges();
            if (changed.isEmpty())
                return;
            if (look == kRefreshLooks)
                throw KeptChangingError(changed.constFirst());
            copier.refresh(TreeCopier::RefreshScope::mirror);
        }
    } catch (...) {
        copier.discard();
        throw;
    }
}

// After a removal that kept what changed meanwhile: that is copied again and removed the same way,
// each removal right after a look for what programs hold (`held` grows with it; the rules keep it).
// A copy that lost an entry is taken back by the caller whatever changed: no round for it.
void removeAgain(TreeCopier& copier, const EntryLocation& from, const MoveHooks& hooks,
                 QSet<EntryIdentity>& held, const RemovalRules& rules, RemovalOutcome& removal,
                 std::optional<PlatformError>& failure)
{
    for (int round = 0;
         round < kLaterRefreshes && !removal.keptPaths.isEmpty() && copier.lostCopies().isEmpty(); ++round) {
        try {
            copier.refresh(TreeCopier::RefreshScope::additions);
        } catch (const PlatformError& error) {
            // The copy stays whole as it was; what changed stays at the source, reported.
            qCWarning(lcMove) << "what changed during the removal could not be copied:" << error.message();
            failure = error;
            return;
        }
        copier.compareUnproven();
        if (hooks.inUse)
            held.unite(hooks.inUse());
        sweepFiles(from.parent.get(), from.name, rules.mayRemoveAt);
        removal = removeTreeAt(from.parent.get(), from.name, from.path, rules);
    }
}

} // namespace

KeptChangingError::KeptChangingError(const QString& path)
    : PlatformError(EBUSY, QStringLiteral("Kept changing while it was copied: ") + path)
{
    setPath(path);
}

CopyGoneError::CopyGoneError(const QString& sourcePath)
    : CopyGoneError(sourcePath,
                    QStringLiteral("The copy left its place before the original went: ") + sourcePath)
{}

CopyGoneError::CopyGoneError(const QString& sourcePath, const QString& message)
    : PlatformError(ENOENT, message)
{
    setPath(sourcePath);
}

CopyHiddenError::CopyHiddenError(const QString& sourcePath, const QString& mountPoint)
    : CopyGoneError(sourcePath, QStringLiteral("The copy was hidden by a file system mounted at ") +
                                    mountPoint + QStringLiteral(" before the original went: ") + sourcePath),
      m_mountPoint(mountPoint)
{}

MoveResult moveItem(const QString& source, const QString& destination, const MoveHooks& hooks)
{
    return moveItem(EntryLocation::open(source), EntryLocation::open(destination), hooks);
}

MoveResult moveItem(const EntryLocation& from, const EntryLocation& to, const MoveHooks& hooks)
{
    if (hooks.sourceIdentity) {
        try {
            renameExpected(from, to, *hooks.sourceIdentity);
            return {};
        } catch (const PlatformError& error) {
            if (error.errorNumber() != EXDEV)
                throw;
        }
    } else if (::renameat2(from.parent.get(), from.name.constData(), to.parent.get(), to.name.constData(),
                           RENAME_NOREPLACE) == 0) {
        return {};
    } else if (errno != EXDEV) {
        throwMoveError(errno, from, to);
    }

    TreeCopier copier(from, to, hooks.created, hooks.sourceIdentity, hooks.timesProveNothing);
    copier.copy();
    if (hooks.copyChangesAgain)
        settle(copier);
    const auto orDiscard = [&copier](const std::function<void()>& step) {
        if (!step)
            return;
        try {
            step();
        } catch (...) {
            copier.discard();
            throw;
        }
    };
    orDiscard(hooks.copied);

    // Only what the copy took, unchanged since and not in use, may go: anything written into the
    // source meanwhile exists nowhere else. The comparisons come first, as they may take minutes:
    // the look for programs must come right before the removal, or one that opened a file
    // meanwhile would write into a file that is gone.
    QSet<EntryIdentity> inUse = hooks.mappedShared ? hooks.mappedShared() : QSet<EntryIdentity>();
    copier.compareUnproven();
    if (hooks.inUse)
        inUse.unite(hooks.inUse());
    orDiscard(hooks.beforeRemoval);
    if (!hooks.copyStaysAtDestination) {
        copier.rootMayHaveMoved();
    } else {
        orDiscard([&] {
            if (copier.standsAtDestination())
                return;
            if (const std::optional<QString> mount = copier.hiddenUnder())
                throw CopyHiddenError(from.path, *mount);
            throw CopyGoneError(from.path);
        });
    }
    RemovalRules rules;
    rules.mayRemoveAt = [&copier, &inUse](const struct stat& info, const QByteArray& relativePath) {
        return !inUse.contains(EntryIdentity::of(info)) && copier.mayRelease(info, relativePath);
    };
    // Files first, on several threads; the removal after them takes the directories and whatever
    // they left, and reports on it.
    sweepFiles(from.parent.get(), from.name, rules.mayRemoveAt);
    RemovalOutcome removal = removeTreeAt(from.parent.get(), from.name, from.path, rules);
    MoveResult result;
    if (hooks.copyChangesAgain)
        removeAgain(copier, from, hooks, inUse, rules, removal, result.refreshFailure);

    result.copiedAcrossFileSystems = true;
    result.leftoverPaths = std::move(removal.leftoverPaths);
    result.changedPaths = std::move(removal.keptPaths);
    result.leftoverError = std::move(removal.firstError);
    result.lostCopies = copier.lostCopies();
    // Moved aside or hidden while the source went: whole there, for what went, but not where the
    // caller looks for it.
    if (hooks.copyStaysAtDestination && !copier.standsAtDestination()) {
        result.copyHiddenUnder = copier.hiddenUnder();
        if (!result.copyHiddenUnder)
            result.copyMovedTo = copier.placeNow().value_or(QString());
    }
    result.refusedAttributes = copier.refusedAttributes();
    return result;
}

} // namespace orvalink::platform
