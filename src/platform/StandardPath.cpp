#include "platform/StandardPath.h"

#include <QDir>
#include <QStringList>

namespace orvalink::platform {

QString parentPath(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString standardizedPath(const QString& path)
{
    QString absolute = path;
    if (!absolute.startsWith(QLatin1Char('/'))) {
        const QString current = QDir::currentPath();
        absolute = absolute.isEmpty() ? current : current + QLatin1Char('/') + absolute;
    }
    QStringList parts;
    const auto pieces = QStringView(absolute).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (QStringView piece : pieces) {
        if (piece == u".")
            continue;
        if (piece == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(piece.toString());
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

bool isSameOrDescendant(const QString& path, const QString& ancestor)
{
    const QString p = standardizedPath(path);
    const QString a = standardizedPath(ancestor);
    if (p == a)
        return true;
    if (a == QLatin1String("/"))
        return true;
    return p.startsWith(a + QLatin1Char('/'));
}

} // namespace orvalink::platform
