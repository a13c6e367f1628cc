#include "diskops/PrivilegedFileOperationError.h"

namespace orvalink {

PrivilegedFileOperationError::PrivilegedFileOperationError(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8())
{}

PrivilegedFileOperationError PrivilegedFileOperationError::authorizationFailed(const QString& message)
{
    return PrivilegedFileOperationError(message);
}

} // namespace orvalink
