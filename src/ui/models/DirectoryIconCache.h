#pragma once

#include "model/DirectoryEntry.h"

#include <QCache>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace orvalink::ui {

// Icons of listed entries. The type of a file comes from its name alone (the extension glob), so
// painting a row never opens the file: a folder of 100,000 entries, a slow network mount or a
// fifo costs nothing but a name lookup. The icon is the theme's icon of the MIME type (or of its
// generic type), else the owner's file icon; a directory gets the theme's folder icon, else the
// owner's, decided by the entry's kind without a stat.
//
// One QIcon per MIME type is shared by every path of that type; the path cache is bounded so a
// long session of browsing does not grow without end. Main thread only.
class DirectoryIconCache {
public:
    static constexpr int defaultCapacity = 4000;

    DirectoryIconCache(QIcon folderIcon, QIcon fileIcon, int capacity = defaultCapacity);

    QIcon icon(const QString& path, EntryKind kind);
    // The MIME type a file name maps to, as icon() decides it.
    QString mimeTypeName(const QString& path) const;

    int cachedPathCount() const { return int(m_byPath.count()); }
    int capacity() const { return int(m_byPath.maxCost()); }

private:
    QIcon iconForType(const QString& typeName);

    QMimeDatabase m_mimeDatabase;
    QIcon m_fileIcon;
    QIcon m_folderIcon;
    QHash<QString, QIcon> m_byType;
    QCache<QString, QIcon> m_byPath;
};

} // namespace orvalink::ui
