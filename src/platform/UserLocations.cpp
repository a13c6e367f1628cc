#include "platform/UserLocations.h"

#include "platform/StandardPath.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {
QString xdgDirectory(const char* variable, const char* fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (value.startsWith(QLatin1Char('/')))
        return standardizedPath(value);
    return standardizedPath(homeDirectory() + QLatin1Char('/') + QLatin1String(fallbackBelowHome));
}
} // namespace

QString homeDirectory()
{
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home;
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_dir)
        return QString::fromLocal8Bit(entry->pw_dir);
    return QStringLiteral("/");
}

QString userName()
{
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QString::number(geteuid()) : fromEnvironment;
}

QString userNameOf(uid_t uid)
{
    // The reentrant lookup: holders are listed on worker threads.
    passwd entry{};
    passwd* found = nullptr;
    QByteArray buffer(16384, Qt::Uninitialized);
    if (::getpwuid_r(uid, &entry, buffer.data(), static_cast<size_t>(buffer.size()), &found) == 0 && found &&
        found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

std::optional<QString> trimmedEnvironmentValue(const char* variable)
{
    if (!qEnvironmentVariableIsSet(variable))
        return std::nullopt;
    const QString trimmed = qEnvironmentVariable(variable).trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

std::optional<QString> environmentOverrideDirectory(const char* variable)
{
    const auto value = trimmedEnvironmentValue(variable);
    if (!value)
        return std::nullopt;
    return standardizedPath(*value);
}

QString xdgDataHome()
{
    return xdgDirectory("XDG_DATA_HOME", ".local/share");
}

QString xdgStateHome()
{
    return xdgDirectory("XDG_STATE_HOME", ".local/state");
}

} // namespace orvalink::platform

namespace orvalink::platform {

QString volumesDirectory()
{
    if (const auto overridden = environmentOverrideDirectory("ORVALINK_VOLUMES_DIR"))
        return *overridden;
    const QStringList candidates = volumesDirectoryCandidates();
    for (const QString& candidate : candidates.first(candidates.size() - 1)) {
        struct stat info {};
        if (::stat(candidate.toLocal8Bit().constData(), &info) == 0 && S_ISDIR(info.st_mode))
            return candidate;
    }
    return candidates.last();
}

QStringList volumesDirectoryCandidates()
{
    if (const auto overridden = environmentOverrideDirectory("ORVALINK_VOLUMES_DIR"))
        return {*overridden};
    const QString name = userName();
    return {QStringLiteral("/media/") + name, QStringLiteral("/run/media/") + name, QStringLiteral("/media")};
}

} // namespace orvalink::platform
