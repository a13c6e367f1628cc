#pragma once

#include "platform/EntryIdentity.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

namespace orvalink {

// Which entry stands at a path, written down so that a later look can tell it from anything else
// that takes the path meanwhile: "device:inode", followed by ":seconds.nanoseconds" of its birth
// time where the file system keeps one. A rename keeps all of it; a copy does not. The birth time
// tells apart entries of two volumes that were given the same device number (a disk plugged into
// the same port, a memory file system mounted after another) and happen to share an inode number.

// The identity of what stands at `path` (a link there is not followed); empty when nothing does.
QString entryIdentityText(const QString& path);
// The same for the entry `name` of the directory `directoryFd`.
QString entryIdentityText(int directoryFd, const QByteArray& name);

// The identity of an entry with its owner and type, read in one look: an owner or a type read apart
// from the identity could be another entry's, exchanged into the path in between.
struct EntryLook {
    QString identity;
    uid_t owner = 0;
    mode_t type = 0; // the file type bits of st_mode (S_IFDIR, S_IFLNK, ...)
};
// The look at the entry `name` of the directory `directoryFd` (a link there is not followed); none
// when nothing stands there.
std::optional<EntryLook> lookAtEntry(int directoryFd, const QByteArray& name);

// The device and inode an identity names; none for a text that is no identity.
std::optional<platform::EntryIdentity> entryIdentityOf(const QString& identity);

// True when `path` holds the very entry `identity` names; never for an empty identity.
bool holdsEntry(const QString& path, const QString& identity);

// Whether two identities name the same entry apart from the device number, for a volume known by
// its UUID that may come back under another device number.
bool sameEntryOnAnyDevice(const QString& first, const QString& second);

} // namespace orvalink
