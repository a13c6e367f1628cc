#pragma once

#include "ui/views/common/ViewText.h"
#include "ui/widgets/TextStyles.h"

#include <QString>

class QLabel;
class QObject;
class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class CollapsibleSection;

// The summary of a collapsible section sits beside its button at its preferred width, which a
// wrapping label makes narrow; this keeps it wide enough to read at the sheet's minimum width.
void useSummaryWidth(QWidget* summary);

// The two-line summary of a collapsible section (a semibold title over a secondary note), named
// for the tests, set as `section`'s summary. Returns the title and the note labels.
struct SectionSummary {
    QLabel* title = nullptr;
    QLabel* note = nullptr;
};
SectionSummary makeSectionSummary(CollapsibleSection* section, const QString& titleName,
                                  const QString& noteName);

// A dialog presses its default (or first auto-default) button on Return; in the sheets Return in a
// field must submit nothing, so no button below `root` takes part.
void disableReturnButtons(QWidget* root);

} // namespace orvalink::ui
