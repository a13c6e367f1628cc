#include "diskops/UndoNotDone.h"

#include "diskops/PrivilegedFileOperationError.h"
#include "platform/PlatformError.h"

namespace orvalink {

namespace {

// The platform failure `error` holds: itself, or the failure without administrator rights that a
// refused administrator's command was to make good. None for any other error.
std::optional<platform::PlatformError> platformFailureOf(const std::exception_ptr& error)
{
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const platform::PlatformError& failure) {
        return failure;
    } catch (const PrivilegedFileOperationError& refused) {
        return platformFailureOf(refused.failureWithoutAdministrator());
    } catch (...) {
    }
    return std::nullopt;
}

} // namespace

UndoNotDone::UndoNotDone(QString sourcePath, QString targetPath, OrvalinkError::Underlying cause)
    : m_sourcePath(std::move(sourcePath)), m_targetPath(std::move(targetPath)), m_cause(std::move(cause)),
      m_reason(m_cause.description)
{
    // A platform failure reads "<what failed>: <path>".
    if (const std::optional<platform::PlatformError> failure = platformFailureOf(m_cause.error)) {
        const QString reason = platform::errnoText(failure->errorNumber());
        const QString prefix = reason + QStringLiteral(": ");
        if (failure->message().startsWith(prefix + QLatin1Char('/'))) {
            m_reason = reason;
            m_failedPath = failure->message().mid(prefix.size());
        }
    }
    m_what = description().toUtf8();
}

QString UndoNotDone::description() const
{
    const QString where = m_failedPath.isEmpty() ? QString() : QStringLiteral(": ") + m_failedPath;
    return QStringLiteral("Undo failed, nothing was changed (") + m_cause.description + where +
           QStringLiteral("): the data stays at ") + m_targetPath + QStringLiteral(" and ") + m_sourcePath +
           QStringLiteral(" still leads to it.");
}

} // namespace orvalink
