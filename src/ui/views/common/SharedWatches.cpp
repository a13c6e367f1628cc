#include "ui/views/common/SharedWatches.h"

#include "ui/views/common/RefreshScheduler.h"
#include "viewmodel/MainViewModel.h"

namespace orvalink::ui {

void watchDiskWork(RefreshScheduler& scheduler, const ActivityState& activity)
{
    for (const auto signal :
         {&ActivityState::isMigratingChanged, &ActivityState::isUndoingChanged,
          &ActivityState::isRepairingLinksChanged, &ActivityState::isRecoveringOperationsChanged})
        scheduler.watch(&activity, signal);
}

void watchTexts(RefreshScheduler& scheduler, MainViewModel& viewModel)
{
    // Both are settings.
    scheduler.watch(&viewModel.browsing(), &BrowsingState::configChanged);
}

} // namespace orvalink::ui
