#include "diskops/PrivilegeFallback.h"

#include "platform/PlatformError.h"

namespace orvalink {

bool shouldUsePrivilegeFallback(const std::exception& error)
{
    const auto* platformError = dynamic_cast<const platform::PlatformError*>(&error);
    return platformError && platformError->isPermissionError();
}

void runWithPrivilegeFallback(const std::function<void()>& userAttempt,
                              const std::function<void()>& privilegedAttempt)
{
    try {
        userAttempt();
        return;
    } catch (const std::exception& error) {
        if (!shouldUsePrivilegeFallback(error))
            throw;
    }
    privilegedAttempt();
}

} // namespace orvalink
