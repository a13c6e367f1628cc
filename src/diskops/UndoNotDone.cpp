#include "diskops/UndoNotDone.h"

#include "diskops/PrivilegedFileOperationError.h"
#include "model/FailureOf.h"
#include "platform/PlatformError.h"

namespace orvalink {

namespace {

// The platform failure `error` holds: itself, or the failure without administrator rights that a
// refused administrator's command was to make good. None for any other error.
std::optional<platform::PlatformError> platformFailureOf(const std::exception_ptr& error)
{
    if (const std::optional<PrivilegedFileOperationError> refused =
            failureOf<PrivilegedFileOperationError>(error))
        return platformFailureOf(refused->failureWithoutAdministrator());
    return failureOf<platform::PlatformError>(error);
}

} // namespace

UndoNotDone::UndoNotDone(QString sourcePath, QString targetPath, OrvalinkError::Underlying cause)
    : m_sourcePath(std::move(sourcePath)), m_targetPath(std::move(targetPath)), m_cause(std::move(cause)),
      m_reason(m_cause.description)
{
    const std::optional<platform::PlatformError> failure = platformFailureOf(m_cause.error);
    if (failure && !failure->path().isEmpty()) {
        m_reason = platform::errnoText(failure->errorNumber());
        m_failedPath = failure->path();
    }
    m_what = description().toUtf8();
}

QString UndoNotDone::description() const
{
    const QString where = m_failedPath.isEmpty() ? QString() : QStringLiteral(": ") + m_failedPath;
    return QStringLiteral("Undo failed, nothing was changed (") + m_reason + where +
           QStringLiteral("): the data stays at ") + m_targetPath + QStringLiteral(" and ") + m_sourcePath +
           QStringLiteral(" still leads to it.");
}

} // namespace orvalink
