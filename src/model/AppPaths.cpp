#include "model/AppPaths.h"

#include "model/StoreNames.h"
#include "platform/FileIO.h"
#include "platform/Placeholder.h"
#include "platform/SymbolicLinks.h"
#include "platform/UserLocations.h"

namespace orvalink::AppPaths {

namespace {

QString parentDirectory(const QString& file)
{
    return file.left(file.lastIndexOf(QLatin1Char('/')));
}

// Moves an older-layout file into place unless the destination is already taken: a file at the
// destination wins and the legacy one is left untouched.
void migrateLegacyFileIfNeeded(const QString& source, const QString& destination)
{
    if (!platform::fileExists(source))
        return;
    if (platform::entryExists(destination))
        return;
    platform::createDirectories(parentDirectory(destination));
    // Moved into another folder, a link would take its relative text from there and lead elsewhere:
    // it is made anew with a text that leads to the same file from any folder.
    if (const std::optional<QString> text = platform::anchoredLinkText(source)) {
        platform::createSymbolicLink(destination, *text);
        platform::removePlaceholder(source);
        return;
    }
    platform::renameNoReplace(source, destination);
}

} // namespace

QString applicationSupportDirectory()
{
    if (const auto overridden = platform::environmentOverrideDirectory("ORVALINK_APP_SUPPORT_DIR"))
        return *overridden;
    return platform::xdgDataHome() + QStringLiteral("/Orvalink");
}

QString logsFile()
{
    if (const auto overridden = platform::environmentOverrideDirectory("ORVALINK_LOG_DIR"))
        return (*overridden == QLatin1String("/") ? QString() : *overridden) + QStringLiteral("/app.log");
    return platform::xdgStateHome() + QStringLiteral("/Orvalink/app.log");
}

QString historyDirectory()
{
    return applicationSupportDirectory() + QStringLiteral("/history");
}

QString applicationSupportFile(const QString& name)
{
    return applicationSupportDirectory() + QLatin1Char('/') + name;
}

void ensureBaseDirectories()
{
    const QString support = applicationSupportDirectory();
    platform::createDirectories(support);
    platform::createDirectories(historyDirectory());
    platform::createDirectories(parentDirectory(logsFile()));
    const QString guest = historyDirectory() + QStringLiteral("/guest/");
    for (const QString& name : {StoreNames::mappings(), StoreNames::tasks()}) {
        migrateLegacyFileIfNeeded(support + QLatin1Char('/') + name, guest + name);
    }
}

} // namespace orvalink::AppPaths
