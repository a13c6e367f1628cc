#include "ui/models/DirectoryIconCache.h"

namespace orvalink::ui {

namespace {

QIcon themeIconOr(const QString& name, const QIcon& fallback)
{
    return !name.isEmpty() && QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : fallback;
}

} // namespace

DirectoryIconCache::DirectoryIconCache(QIcon folderIcon, QIcon fileIcon, int capacity)
    : m_fileIcon(std::move(fileIcon)), m_folderIcon(themeIconOr(QStringLiteral("folder"), folderIcon)),
      m_byPath(capacity)
{}

QString DirectoryIconCache::mimeTypeName(const QString& path) const
{
    // By name only: any other match mode stats the path and reads the file's first bytes.
    return m_mimeDatabase.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
}

QIcon DirectoryIconCache::icon(const QString& path, EntryKind kind)
{
    if (kind == EntryKind::directory)
        return m_folderIcon;
    if (const QIcon* cached = m_byPath.object(path))
        return *cached;
    QIcon icon = iconForType(mimeTypeName(path));
    m_byPath.insert(path, new QIcon(icon));
    return icon;
}

QIcon DirectoryIconCache::iconForType(const QString& typeName)
{
    const auto found = m_byType.constFind(typeName);
    if (found != m_byType.constEnd())
        return *found;
    const QMimeType type = m_mimeDatabase.mimeTypeForName(typeName);
    const QIcon icon = themeIconOr(type.iconName(), themeIconOr(type.genericIconName(), m_fileIcon));
    m_byType.insert(typeName, icon);
    return icon;
}

} // namespace orvalink::ui
