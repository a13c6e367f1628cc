#include "guide/GuideEnvironment.h"

#include <QByteArray>
#include <QStringList>

namespace orvalink::guide {

bool environmentSwitchIsOn(const char* name)
{
    return qEnvironmentVariableIsSet(name) && qgetenv(name) == QByteArrayLiteral("1");
}

std::optional<QString> guideEnvironmentValue(const char* name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    const QString trimmed = qEnvironmentVariable(name).trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

bool guideEnvironmentFlag(const char* name, bool fallback)
{
    const std::optional<QString> value = guideEnvironmentValue(name);
    if (!value)
        return fallback;
    const QString folded = value->toLower();
    static const QStringList yes{QStringLiteral("1"), QStringLiteral("true"), QStringLiteral("yes"),
                                 QStringLiteral("on")};
    static const QStringList no{QStringLiteral("0"), QStringLiteral("false"), QStringLiteral("no"),
                                QStringLiteral("off")};
    if (yes.contains(folded))
        return true;
    if (no.contains(folded))
        return false;
    return fallback;
}

} // namespace orvalink::guide
