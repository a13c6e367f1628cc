#pragma once

#include "platform/PlatformError.h"

#include <functional>

namespace orvalink::test {

// The errno of the platform::PlatformError that `call` throws; 0 when it throws none.
inline int errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const platform::PlatformError& error) {
        return error.errorNumber();
    }
    return 0;
}

} // namespace orvalink::test
