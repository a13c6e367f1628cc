#pragma once

#include "platform/EntryLocation.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace orvalink::platform {

// The text of the symbolic link at `path`, unresolved; none when no link stands there or it cannot
// be read.
std::optional<QString> readSymbolicLink(const QString& path);
// The same for an entry already located (see VerifiedDirectory::locate), or the entry `name` of
// the directory `directoryFd`.
std::optional<QString> readSymbolicLink(const EntryLocation& location);
std::optional<QString> readSymbolicLinkAt(int directoryFd, const QByteArray& name);

// Where the symbolic link at `path` (in standard form) points, in standard form: an absolute text
// as it stands, a relative one taken from the link's folder. Nothing on the way is resolved. None
// when no link stands there or it cannot be read.
std::optional<QString> symbolicLinkDestination(const QString& path);

// Where open(2) of `path` (taken in standard form) reaches a file, found as the kernel finds it:
// the links on the way are followed, then a link at the last component and at each place it leads
// to, its text taken from the folder that really holds it (so a ".." in it climbs from there, not
// from the path as written). Answers the folder that holds the file and the file's name there, which
// is no symbolic link and need not exist yet; `path` of the answer names that place for messages.
// Throws PlatformError: ELOOP after as many links as the kernel follows, EISDIR for a link whose
// text names a folder (a last component "", "." or ".."), else the failed lookup's errno.
EntryLocation locateLinkedFile(const QString& path);

// The text of the symbolic link at `path` made to lead to the same place from any folder: an
// absolute text as it stands, a relative one behind the real path of the folder that holds the
// link. None when no link stands there or it cannot be read.
std::optional<QString> anchoredLinkText(const QString& path);

// Points the symbolic link at `linkPath` at `target` in one step, so the path never stands without
// a link: a new link is made at `temporaryPath` (a free sibling of `linkPath`) and exchanged with
// the old one, which is then removed. Only a link is ever replaced: when anything else stands at
// `linkPath` (or slips in meanwhile) nothing is replaced and EEXIST is thrown. Throws PlatformError;
// on failure the old link stays and nothing is left at `temporaryPath`.
void replaceSymbolicLink(const QString& linkPath, const QString& target, const QString& temporaryPath);

// The path the kernel knows the open entry `fd` by, wherever it was renamed to since it was opened;
// none when /proc cannot tell (it ends in " (deleted)" for an entry that is gone).
std::optional<QString> folderPathOf(int fd);

} // namespace orvalink::platform
