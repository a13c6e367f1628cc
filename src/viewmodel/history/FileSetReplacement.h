#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace orvalink {

struct FileReplacement {
    QString path;
    QByteArray content;
};

// Replaces several files as one step, as far as a file system allows. A symbolic link at a path is
// followed: the file replaced is the one readers of the path reach, and the link stays. Every
// current file is first copied beside its path as "<name>.bak", a file of its own (a stale backup
// of a file that does not exist is removed); then every new content is written and flushed under a
// temporary name (mode 0600), and only when all of them are on disk are they renamed into place, in
// the given order. Should a rename fail,
// the files already replaced get their previous content back (or are removed when there was none),
// so the set is never half old and half new; a file that another program has put in place of one
// of them meanwhile is its own and stays. Throws platform::PlatformError with the first failure.
// The caller holds whatever lock keeps other writers out.
void replaceFilesTogether(const QList<FileReplacement>& replacements);

} // namespace orvalink
