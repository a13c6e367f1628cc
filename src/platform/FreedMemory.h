#pragma once

namespace orvalink::platform {

// Hands memory that was freed back to the system. The allocator keeps what a thread freed for
// that thread's later use, so a large transient structure built off the main thread (the JSON of
// a big folder's scan cache) would otherwise stay resident for the rest of the session. Costs a
// walk of the free lists (a few milliseconds); call it after such work, not in a loop.
void releaseFreedMemory();

} // namespace orvalink::platform
