#pragma once

#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QList>

namespace orvalink::ui {

// How the dock heads what the start-up did with operations an earlier run left unfinished, by what
// the records hold: versions the start kept aside itself, files programs still hold, migrations it
// completed instead of taking them back, or several of these.
struct StartAnswerHeading {
    BilingualText title;
    BilingualText whileOpen;   // the workspace's line while it stays open for them
    BilingualText whileClosed; // once the user closed it: that Expand shows them
};

StartAnswerHeading startAnswerHeading(const QList<KeptVersionsRecord>& records);

} // namespace orvalink::ui
