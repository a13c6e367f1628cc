#pragma once

#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/DiskWorkStep.h"

#include <QString>

namespace orvalink {

// What the dock calls a long step of the running disk work (DiskWorkStep): its title, and the line
// that names the folder it works on.
BilingualText diskWorkStepTitle(DiskWorkStep::Kind kind);
BilingualText diskWorkStepLine(DiskWorkStep::Kind kind, const QString& folderName);

// The title of the start-up's run while it puts right the operations an earlier run left unfinished,
// and how many of them it has put right.
BilingualText recoveryRunTitle();
BilingualText recoveryCountText(qint64 done, qint64 total);

} // namespace orvalink
