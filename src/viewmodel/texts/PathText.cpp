#include "viewmodel/texts/PathText.h"

#include "platform/StandardPath.h"

namespace orvalink {

QString lastPathComponent(const QString& path)
{
    const QString absolute = path.isEmpty() ? platform::standardizedPath(path) : path;
    qsizetype end = absolute.size();
    while (end > 0 && absolute.at(end - 1) == QLatin1Char('/'))
        --end;
    if (end == 0)
        return absolute.isEmpty() ? QString() : QStringLiteral("/");
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'), end - 1);
    return absolute.mid(slash + 1, end - slash - 1);
}

bool isStrictlyUnder(QStringView path, QStringView root)
{
    return path.size() > root.size() && path.startsWith(root) && path.at(root.size()) == QLatin1Char('/');
}

} // namespace orvalink
