#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace orvalink::platform {

// The text of the symbolic link at `path`, unresolved; none when no link stands there or it cannot
// be read.
std::optional<QString> readSymbolicLink(const QString& path);
// The same for an entry already located (see VerifiedDirectory::locate), or the entry `name` of
// the directory `directoryFd`.
struct EntryLocation;
std::optional<QString> readSymbolicLink(const EntryLocation& location);
std::optional<QString> readSymbolicLinkAt(int directoryFd, const QByteArray& name);

// Where the symbolic link at `path` (in standard form) points, in standard form: an absolute text
// as it stands, a relative one taken from the link's folder. Nothing on the way is resolved. None
// when no link stands there or it cannot be read.
std::optional<QString> symbolicLinkDestination(const QString& path);

// Points the symbolic link at `linkPath` at `target` in one step, so the path never stands without
// a link: a new link is made at `temporaryPath` (a free sibling of `linkPath`) and exchanged with
// the old one, which is then removed. Only a link is ever replaced: when anything else stands at
// `linkPath` (or slips in meanwhile) nothing is replaced and EEXIST is thrown. Throws PlatformError;
// on failure the old link stays and nothing is left at `temporaryPath`.
void replaceSymbolicLink(const QString& linkPath, const QString& target, const QString& temporaryPath);

} // namespace orvalink::platform
