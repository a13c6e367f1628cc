#include "platform/ProbeLeftovers.h"

#include "platform/EntryIdentity.h"
#include "platform/TreeRemoval.h"
#include "platform/TreeWalker.h"
#include "platform/UniqueFd.h"

#include <QUuid>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace orvalink::platform {

namespace {

constexpr QByteArrayView kPrefix = ".orvalink-probe-";
constexpr qsizetype kSecondsDigits = 16;
constexpr qsizetype kNanosecondsDigits = 8;
constexpr qsizetype kTimesDigits = 2 * (kSecondsDigits + kNanosecondsDigits);
constexpr qsizetype kUuidLength = 36;
// The longest name a probe gives a file in its folder of names ("orvalink-case").
constexpr qsizetype kLongestTriedName = 13;
constexpr long kSameMomentNanoseconds = 100 * 1000 * 1000;

QByteArray hex(quint64 value, qsizetype digits)
{
    return QByteArray::number(value, 16).rightJustified(digits, '0');
}

bool operator<=(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec <= b.tv_nsec);
}

bool operator==(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The access and modification times a probe's folder name carries; none for any other name.
std::optional<std::pair<timespec, timespec>> timesInName(const QByteArray& name)
{
    if (!name.startsWith(kPrefix) || name.size() != kPrefix.size() + kTimesDigits + 1 + kUuidLength ||
        name.at(kPrefix.size() + kTimesDigits) != '-' ||
        QUuid::fromString(QLatin1String(name.right(kUuidLength))).isNull())
        return std::nullopt;
    qsizetype at = kPrefix.size();
    bool ok = true;
    const auto next = [&](qsizetype digits) {
        bool read = false;
        const quint64 value = name.mid(at, digits).toULongLong(&read, 16);
        ok = ok && read;
        at += digits;
        return value;
    };
    timespec accessed{};
    timespec modified{};
    modified.tv_sec = time_t(next(kSecondsDigits));
    modified.tv_nsec = long(next(kNanosecondsDigits));
    accessed.tv_sec = time_t(next(kSecondsDigits));
    accessed.tv_nsec = long(next(kNanosecondsDigits));
    if (!ok || modified.tv_nsec >= 1000000000 || accessed.tv_nsec >= 1000000000)
        return std::nullopt;
    return std::make_pair(accessed, modified);
}

bool isEmptyFile(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_size == 0;
}

// Whether the folder `names` (the probe's "n") holds nothing but empty files with short names.
bool holdsOnlyTriedNames(int names)
{
    for (const QByteArray& name : folderNames(names)) {
        struct stat info {};
        if (name.size() > kLongestTriedName ||
            ::fstatat(names, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !isEmptyFile(info))
            return false;
    }
    return true;
}

// Whether the folder `probe` holds nothing but what a probe makes there; `lastChange` becomes the
// latest change time of the probe's folders, the last moment a probe worked in them.
bool holdsOnlyWhatAProbeMakes(int probe, timespec& lastChange)
{
    for (const QByteArray& name : folderNames(probe)) {
        struct stat info {};
        if (name.size() != 1 || ::fstatat(probe, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        bool made = isEmptyFile(info); // a volume without links or FIFOs may leave one in their place
        switch (name.at(0)) {
        case 'f':
        case 'h':
            break;
        case 'l':
            made = made || S_ISLNK(info.st_mode);
            break;
        case 'p':
            made = made || S_ISFIFO(info.st_mode);
            break;
        case 'n': {
            const UniqueFd names(::openat(probe, "n", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            made = S_ISDIR(info.st_mode) && names.isValid() && holdsOnlyTriedNames(names.get());
            if (lastChange <= info.st_ctim)
                lastChange = info.st_ctim;
            break;
        }
        default:
            made = false;
        }
        if (!made)
            return false;
    }
    return true;
}

} // namespace

QByteArray probeFolderName(const struct stat& folderBefore)
{
    return kPrefix.toByteArray() + hex(quint64(folderBefore.st_mtim.tv_sec), kSecondsDigits) +
           hex(quint64(folderBefore.st_mtim.tv_nsec), kNanosecondsDigits) +
           hex(quint64(folderBefore.st_atim.tv_sec), kSecondsDigits) +
           hex(quint64(folderBefore.st_atim.tv_nsec), kNanosecondsDigits) + '-' +
           QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
}

int removeProbeLeftovers(int folder)
{
    struct stat found {};
    if (::fstat(folder, &found) != 0)
        return 0;
    int removed = 0;
    std::optional<std::pair<timespec, timespec>> first; // the times the earliest probe found
    timespec lastChange{};
    for (const QByteArray& name : folderNames(folder)) {
        const auto times = timesInName(name);
        if (!times)
            continue;
        const UniqueFd probe(
            ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        timespec changed{};
        if (!probe.isValid() || ::fstat(probe.get(), &info) != 0 ||
            !holdsOnlyWhatAProbeMakes(probe.get(), changed))
            continue;
        RemovalRules rules;
        rules.makeDirectoriesWritable = true;
        rules.root = EntryIdentity::of(info); // nothing put in its place meanwhile
        if (removeTreeAt(folder, name, QString::fromUtf8(name), rules).firstError)
            continue;
        ++removed;
        if (lastChange <= info.st_ctim)
            lastChange = info.st_ctim;
        if (lastChange <= changed)
            lastChange = changed;
        if (!first || times->second <= first->second)
            first = times;
    }
    if (removed == 0)
        return 0;
    // Changed after the last probe's last step: somebody else has been at work in the folder since,
    // and the times of that stay. Its change time tells, which every write in it and every setting of
    // its times moves to the moment it happened (a user who set old times leaves an old modification
    // time); a volume that keeps no change time of its own gives the modification time there. The
    // kernel may give the folder a finer time than the probe's own folder got in the same step: a few
    // clock ticks count as the same moment.
    timespec times[2] = {found.st_atim, found.st_mtim};
    lastChange.tv_nsec += kSameMomentNanoseconds;
    if (lastChange.tv_nsec >= 1000000000) {
        lastChange.tv_nsec -= 1000000000;
        ++lastChange.tv_sec;
    }
    if (found.st_ctim <= lastChange && found.st_mtim <= lastChange) {
        times[0] = first->first;
        times[1] = first->second;
    }
    struct stat after {};
    if (::fstat(folder, &after) == 0 && !(after.st_mtim == times[1] && after.st_atim == times[0]))
        ::futimens(folder, times);
    return removed;
}

} // namespace orvalink::platform
