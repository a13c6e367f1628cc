#include "model/LocalHistoryScope.h"

#include <QList>

namespace orvalink {

QString LocalHistoryScope::directoryName() const
{
    if (m_isGuest)
        return QStringLiteral("guest");
    const QString normalized = m_email.trimmed().toLower();
    if (normalized.isEmpty())
        return QStringLiteral("account");
    QString name;
    for (const uint codePoint : normalized.toUcs4()) {
        const bool kept = (codePoint >= U'a' && codePoint <= U'z') ||
                          (codePoint >= U'0' && codePoint <= U'9') || codePoint == U'-' || codePoint == U'_';
        name += kept ? QChar(static_cast<char16_t>(codePoint)) : QLatin1Char('_');
    }
    return name;
}

} // namespace orvalink
