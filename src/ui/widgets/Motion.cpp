#include "ui/widgets/Motion.h"

#include <atomic>

namespace orvalink::ui {

namespace {
std::atomic_bool g_animationsEnabled{true};
}

bool animationsEnabled()
{
    return g_animationsEnabled.load();
}

void setAnimationsEnabled(bool enabled)
{
    g_animationsEnabled.store(enabled);
}

} // namespace orvalink::ui
