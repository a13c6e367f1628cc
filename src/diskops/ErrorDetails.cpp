#include "diskops/ErrorDetails.h"

#include "diskops/PrivilegedFileOperationError.h"
#include "platform/PlatformError.h"

namespace orvalink {

OrvalinkError::Underlying underlyingOf(const std::exception& error)
{
    if (const auto* platformError = dynamic_cast<const platform::PlatformError*>(&error)) {
        return {platformError->message(), platformError->errorNumber(), platformError->isPermissionError(),
                std::make_exception_ptr(*platformError)};
    }
    if (const auto* privileged = dynamic_cast<const PrivilegedFileOperationError*>(&error))
        return {privileged->errorDescription(), 0, false, std::make_exception_ptr(*privileged)};
    if (const auto* orvalinkError = dynamic_cast<const OrvalinkError*>(&error))
        return {orvalinkError->errorDescription(), 0, false, std::make_exception_ptr(*orvalinkError)};
    return {QString::fromUtf8(error.what()), 0, false, {}};
}

OrvalinkError::Underlying unknownUnderlying()
{
    return {QStringLiteral("Unknown error"), 0, false, {}};
}

bool isBusyError(const std::exception& error)
{
    const auto* platformError = dynamic_cast<const platform::PlatformError*>(&error);
    return platformError && platformError->isBusyError();
}

} // namespace orvalink
