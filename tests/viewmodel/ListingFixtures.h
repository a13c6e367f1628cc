#pragma once

#include "model/DirectoryEntry.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace orvalink::test {

// A listed entry in a few words: `path` is the folder's path, the name its last component.
DirectoryEntry folderEntry(const QString& path, qint64 size = 0, bool hidden = false);
DirectoryEntry fileEntry(const QString& path, qint64 size = 0, bool hidden = false);

// The names of the entries, in order.
QStringList namesOf(const QList<DirectoryEntry>& entries);

} // namespace orvalink::test
