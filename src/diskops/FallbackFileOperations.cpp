#include "diskops/FallbackFileOperations.h"

#include "diskops/PlaceholderTest.h"
#include "diskops/PrivilegeFallback.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "platform/EntryLocation.h"
#include "platform/FileIO.h"
#include "platform/FileMove.h"
#include "platform/Placeholder.h"
#include "platform/PlatformError.h"
#include "store/LogService.h"

#include <cerrno>

namespace orvalink {

namespace {

void requireFree(const QString& path)
{
    if (platform::entryExists(path))
        throw platform::PlatformError::fromErrno(EEXIST, path);
}

platform::MoveHooks hooksOf(const FallbackFileOperations::MoveSteps& steps,
                            std::optional<platform::EntryIdentity> identity = std::nullopt)
{
    platform::MoveHooks hooks;
    hooks.created = steps.created;
    hooks.copied = steps.copied;
    hooks.sourceIdentity = identity;
    hooks.inUse = steps.inUse;
    hooks.mappedShared = steps.mappedShared;
    hooks.beforeRemoval = steps.beforeRemoval;
    hooks.timesProveNothing = steps.timesProveNothing;
    hooks.copyChangesAgain = steps.copyChangesAgain;
    hooks.copyStaysAtDestination = steps.copyStaysAtDestination;
    return hooks;
}

} // namespace

FallbackFileOperations::FallbackFileOperations(const PrivilegedFileOperationService& privileged,
                                               LogService& log)
    : m_privileged(&privileged), m_log(log)
{}

FallbackFileOperations::FallbackFileOperations(const PrivilegedFileOperationService* privileged,
                                               LogService& log)
    : m_privileged(privileged), m_log(log)
{}

FallbackFileOperations FallbackFileOperations::withoutAdministrator(LogService& log)
{
    return FallbackFileOperations(nullptr, log);
}

void FallbackFileOperations::attempt(const std::function<void()>& userAttempt,
                                     const std::function<void()>& privilegedAttempt) const
{
    if (m_privileged)
        runWithPrivilegeFallback(userAttempt, privilegedAttempt);
    else
        userAttempt();
}

platform::MoveResult FallbackFileOperations::move(const QString& source, const QString& destination,
                                                  const MoveSteps& steps) const
{
    platform::MoveResult result;
    attempt([&] { result = platform::moveItem(source, destination, hooksOf(steps)); },
            [&] {
                requireFree(destination);
                if (steps.beforeAdministrator)
                    steps.beforeAdministrator();
                m_privileged->moveItem(source, destination);
            });
    reportMove(result, source, destination, steps);
    return result;
}

platform::MoveResult FallbackFileOperations::move(const QString& source, const QString& destination) const
{
    return move(source, destination, MoveSteps());
}

platform::MoveResult FallbackFileOperations::move(const platform::EntryLocation& source,
                                                  const platform::EntryLocation& destination,
                                                  const platform::EntryIdentity& identity,
                                                  const MoveSteps& steps) const
{
    platform::MoveResult result;
    attempt([&] { result = platform::moveItem(source, destination, hooksOf(steps, identity)); },
            [&] {
                requireFree(destination.path);
                steps.beforeAdministrator();
                m_privileged->moveItem(source.path, destination.path);
            });
    reportMove(result, source.path, destination.path, steps);
    return result;
}

void FallbackFileOperations::reportMove(const platform::MoveResult& result, const QString& source,
                                        const QString& destination, const MoveSteps& steps) const
{
    const QString& from = steps.shownSource.isEmpty() ? source : steps.shownSource;
    const QString& to = steps.shownDestination.isEmpty() ? destination : steps.shownDestination;
    if (!result.refusedAttributes.isEmpty()) {
        m_log.append(LogLevel::warning,
                     QStringLiteral("Move completed, but the destination did not keep these extended "
                                    "attributes: ") +
                         from + QStringLiteral(" -> ") + to + QStringLiteral(". Not kept: ") +
                         result.refusedAttributes.describe());
    }
    if (result.sourceFullyRemoved() || steps.callerReportsLeftovers ||
        (steps.copyChangesAgain && !result.changedPaths.isEmpty()))
        return;
    // The data is whole at the destination; what stayed behind is a duplicate the user may remove.
    QString message = QStringLiteral("Move completed, but the source could not be fully removed: ") + source +
                      QStringLiteral(" -> ") + destination + QStringLiteral(". Left: ") +
                      result.leftoverPaths.join(QStringLiteral(", "));
    if (result.leftoverError)
        message += QStringLiteral(" (") + result.leftoverError->message() + QLatin1Char(')');
    m_log.append(LogLevel::warning, message);
}

void FallbackFileOperations::removePlaceholder(const QString& path) const
{
    attempt([&] { platform::removePlaceholder(path); },
            [&] {
                if (!isPlaceholder(path)) {
                    throw platform::PlatformError::fromErrno(platform::entryExists(path) ? ENOTEMPTY : ENOENT,
                                                             path);
                }
                m_privileged->removeItem(path);
            });
}

void FallbackFileOperations::createDirectories(const QString& path) const
{
    attempt([&] { platform::createDirectories(path, 0755); }, [&] { m_privileged->createDirectory(path); });
}

void FallbackFileOperations::createSymbolicLink(const QString& linkPath, const QString& destination) const
{
    attempt([&] { platform::createSymbolicLink(linkPath, destination); },
            [&] {
                requireFree(linkPath);
                m_privileged->createSymbolicLink(linkPath, destination);
            });
}

} // namespace orvalink
