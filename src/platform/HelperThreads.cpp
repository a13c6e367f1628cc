#include "platform/HelperThreads.h"

#include <system_error>
#include <thread>
#include <vector>

namespace orvalink::platform {

void runWithHelpers(std::size_t helpers, const std::function<void()>& work)
{
    std::vector<std::thread> threads;
    try {
        for (std::size_t each = 0; each < helpers; ++each)
            threads.emplace_back(work);
    } catch (const std::system_error&) {
        // No thread to spare: the ones running do it all.
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace orvalink::platform
