#include "platform/DuplicateRemoval.h"

#include "platform/ContentComparison.h"
#include "platform/EntryLocation.h"
#include "platform/PlatformError.h"
#include "platform/UniqueFd.h"

#include <climits>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace orvalink::platform {

namespace {

std::optional<QByteArray> linkText(int fd)
{
    QByteArray text(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(fd, "", text.data(), size_t(text.size()));
    if (length < 0)
        return std::nullopt;
    return text.left(length);
}

class CopyComparison {
public:
    // Without a `copy` to compare with, everything stays.
    CopyComparison(const EntryLocation& original, const EntryLocation* copy)
        : m_original(original), m_copy(copy)
    {
        if (copy)
            m_copyRoot = UniqueFd(
                ::openat(copy->parent.get(), copy->name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    }

    bool holdsUnchanged(const struct stat& info, const QByteArray& relative) const
    {
        if (!m_copyRoot.isValid())
            return false;
        // A link inside the copy must not lead the comparison elsewhere.
        UniqueFd counterpart = relative.isEmpty() ? duplicateFd(m_copyRoot.get())
                                                  : openBeneath(m_copyRoot.get(), relative, O_PATH);
        struct stat copied {};
        if (!counterpart.isValid() || ::fstat(counterpart.get(), &copied) != 0)
            return false;
        if ((copied.st_mode & S_IFMT) != (info.st_mode & S_IFMT))
            return false;
        if (S_ISREG(info.st_mode))
            return sameFile(info, copied, relative);
        if (S_ISLNK(info.st_mode)) {
            const std::optional<QByteArray> original = linkTextAt(relative);
            return original && original == linkText(counterpart.get());
        }
        return S_ISDIR(info.st_mode) || S_ISFIFO(info.st_mode);
    }

private:
    // The same size and modification time (a copy keeps them to the nanosecond), and the same
    // content.
    bool sameFile(const struct stat& info, const struct stat& copied, const QByteArray& relative) const
    {
        if (copied.st_size != info.st_size || copied.st_mtim.tv_sec != info.st_mtim.tv_sec ||
            copied.st_mtim.tv_nsec != info.st_mtim.tv_nsec)
            return false;
        const FileBeneath copy =
            relative.isEmpty() ? FileBeneath{m_copy->parent.get(), m_copy->name, EntryIdentity::of(copied)}
                               : FileBeneath{m_copyRoot.get(), relative, EntryIdentity::of(copied)};
        return sameContent(
            FileBeneath{m_original.parent.get(), m_original.below(relative), EntryIdentity::of(info)}, copy);
    }

    std::optional<QByteArray> linkTextAt(const QByteArray& relative) const
    {
        const UniqueFd link = openBeneath(m_original.parent.get(), m_original.below(relative), O_PATH);
        if (!link.isValid())
            return std::nullopt;
        return linkText(link.get());
    }

    const EntryLocation& m_original;
    const EntryLocation* m_copy;
    UniqueFd m_copyRoot;
};

RemovalOutcome removeDuplicateAt(const EntryLocation& original, const EntryLocation* copy,
                                 std::optional<EntryIdentity> expected, const QSet<EntryIdentity>& inUse)
{
    const CopyComparison comparison(original, copy);
    RemovalRules rules;
    if (!inUse.isEmpty())
        rules.mayRemove = [&inUse](const struct stat& info) {
            return S_ISDIR(info.st_mode) || !inUse.contains(EntryIdentity::of(info));
        };
    rules.mayRemoveAt = [&comparison](const struct stat& info, const QByteArray& relative) {
        return comparison.holdsUnchanged(info, relative);
    };
    rules.root = expected;
    return removeTreeAt(original.parent.get(), original.name, original.path, rules);
}

} // namespace

RemovalOutcome removeDuplicateTree(const QString& original, const QString& copy,
                                   const QSet<EntryIdentity>& inUse)
{
    const EntryLocation location = EntryLocation::open(original);
    std::optional<EntryLocation> copyLocation;
    try {
        copyLocation = EntryLocation::open(copy);
    } catch (const PlatformError&) {
        // No copy to compare with: everything stays.
    }
    return removeDuplicateAt(location, copyLocation ? &*copyLocation : nullptr, std::nullopt, inUse);
}

RemovalOutcome removeDuplicateTree(const EntryLocation& original, const EntryLocation& copy,
                                   const EntryIdentity& expected, const QSet<EntryIdentity>& inUse)
{
    return removeDuplicateAt(original, &copy, expected, inUse);
}

} // namespace orvalink::platform
