#pragma once

#include "platform/EntryIdentity.h"
#include "platform/EntryLocation.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace orvalink::platform {

// A directory reached from a starting folder the caller trusts (the home folder, the volumes
// folder) one component at a time, none of them a symbolic link, and held open (O_PATH): calls made
// relative to it act on that very directory, whatever is renamed, exchanged or linked along its path
// meanwhile. A text path names what stood there when it was checked; a descriptor names what was
// checked. Every directory on the way is kept as a step, so a caller can tell what the walk passed
// through (which device, which mount, which folders).
class VerifiedDirectory {
public:
    // One directory the walk passed: the start first, this directory last.
    struct Step {
        QString path;
        EntryIdentity identity;
        quint64 mountId = 0; // 0 where the kernel gives none
    };

    // Which symbolic links the walk passes through.
    enum class Links {
        refused,
        // A link owned by the user the process runs as, or by root, is followed, and so is every link
        // its text leads through under the same rule: only the user or the administrator can have
        // made such a way (a home folder whose Documents is a link to another disk). A link anybody
        // else owns is refused all the same.
        ownFollowed,
    };

    // Opens `start` as the system resolves it (links in its own text are followed: the caller trusts
    // it), then each component of `path` below it with O_NOFOLLOW | O_DIRECTORY relative to the one
    // before. Both are absolute; `path` is `start` or lies below it. Throws PlatformError with the
    // path reached: ELOOP when a component is a symbolic link (one `links` does not let pass, or
    // too many in a row), ENOENT when one is missing, ENOTDIR when one is no directory, EINVAL when
    // `path` is not below `start` or holds a NUL. A step reached through a link carries the path of
    // the link and the identity of the directory it leads to.
    static VerifiedDirectory open(const QString& start, const QString& path, Links links = Links::refused);
    // As open(), but a component that is missing or no directory ends the walk there: answers the
    // deepest directory reached. A link on the way that may not be passed still throws ELOOP.
    static VerifiedDirectory openDeepest(const QString& start, const QString& path,
                                         Links links = Links::refused);

    int fd() const { return m_fd.get(); }
    const QString& path() const { return m_steps.constLast().path; }
    const EntryIdentity& identity() const { return m_steps.constLast().identity; }
    quint64 mountId() const { return m_steps.constLast().mountId; }
    const QList<Step>& steps() const { return m_steps; }

    // The identities of this directory and of every directory above it up to "/", nearest first,
    // climbing "..": where the directory really lies, whatever path led to it (a bind mount's root
    // climbs to the folder it is mounted on). Throws PlatformError when a step cannot be read.
    QList<EntryIdentity> lineage() const;

    // The entry `name` of this directory (a single component, not followed), for the calls that
    // take an EntryLocation. The descriptor is a duplicate; the directory stays usable.
    EntryLocation locate(const QString& name) const;
    // The identity and mount of the entry `name` (not followed); none when nothing stands there.
    std::optional<Step> entry(const QString& name) const;

private:
    VerifiedDirectory() = default;
    static VerifiedDirectory walk(const QString& start, const QString& path, bool toTheEnd, Links links);
    // False when `name` is missing or no directory and `mustExist` is false.
    bool enter(const QByteArray& name, bool mustExist, Links links);

    UniqueFd m_fd;
    QList<Step> m_steps;
};

} // namespace orvalink::platform
