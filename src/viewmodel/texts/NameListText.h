#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QStringList>

namespace orvalink {

// Names (of programs, say) as a sentence lists them: each distinct name once, in the order given, at
// most `shown` of them, then how many others there are. Chinese joins them with "、", English with
// ", ". However many programs hold a folder, the sentence stays a few words long.
BilingualText nameListText(const QStringList& names, qsizetype shown = 5);

} // namespace orvalink
