#pragma once

#include <cstddef>
#include <functional>

namespace orvalink::platform {

// Runs `work` on the calling thread and on up to `helpers` more threads at once, and returns once
// all of them are done. `work` shares its jobs out itself (an atomic index, say) and must not
// throw. A thread that cannot be started leaves its share to the others.
void runWithHelpers(std::size_t helpers, const std::function<void()>& work);

} // namespace orvalink::platform
