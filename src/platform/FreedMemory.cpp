#include "platform/FreedMemory.h"

#include <malloc.h>

namespace orvalink::platform {

void releaseFreedMemory()
{
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

} // namespace orvalink::platform
