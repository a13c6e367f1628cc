#include "platform/PlatformError.h"

#include <cerrno>
#include <cstring>

namespace orvalink::platform {

namespace {
bool matches(const PlatformError& error, int first, int second)
{
    if (error.errorNumber() == first || error.errorNumber() == second)
        return true;
    const PlatformError* inner = error.underlying();
    return inner && (inner->errorNumber() == first || inner->errorNumber() == second);
}
} // namespace

PlatformError::PlatformError(int errorNumber, QString message)
    : m_errorNumber(errorNumber), m_message(std::move(message)), m_utf8(m_message.toUtf8())
{}

PlatformError::PlatformError(int errorNumber, QString message, const PlatformError& underlying)
    : PlatformError(errorNumber, std::move(message))
{
    m_underlying = std::make_shared<const PlatformError>(underlying);
}

PlatformError PlatformError::fromErrno(int errorNumber, const QString& path)
{
    QString text = errnoText(errorNumber);
    if (!path.isEmpty())
        text += QStringLiteral(": ") + path;
    PlatformError error(errorNumber, text);
    error.m_path = path;
    return error;
}

bool PlatformError::isPermissionError() const
{
    return matches(*this, EACCES, EPERM);
}

bool PlatformError::isBusyError() const
{
    return matches(*this, EBUSY, ETXTBSY);
}

QString errnoText(int errorNumber)
{
    // strerrordesc_np gives the English description independent of LC_MESSAGES.
    const char* text = strerrordesc_np(errorNumber);
    if (!text)
        return QStringLiteral("Unknown error %1").arg(errorNumber);
    return QString::fromUtf8(text);
}

} // namespace orvalink::platform
