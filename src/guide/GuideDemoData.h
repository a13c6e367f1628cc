#pragma once

#include <functional>
#include <memory>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::guide {

// Builds the state object a demo starts from (the export's: GuideDemoFolder::makeViewModel()).
using ViewModelFactory = std::function<std::unique_ptr<MainViewModel>()>;

// The fixed state the tutorial pictures show, on a state object from `make`: a signed-in demo
// account reading its own local history, the home /home/tovra with four large folders, three of
// them migrated to the external disk mounted at /media/tovra/ux402, a short history, one log line,
// the information line the start-up leaves and a note that the picture is made from demo data.
// Presentation privacy is on and hides the demo user's folders as it hides the user's own. Times
// are relative to the moment of the call.
//
// The demo values are only published on the returned object. Nothing is saved, and no store or
// service is called: the published setters are used instead of the settings actions (which save).
std::unique_ptr<MainViewModel> makeDemoViewModel(const ViewModelFactory& make);

// The steps of the selection tour: all candidates with none ticked, the search narrowed to one,
// three ticked and ready to move.
enum class SelectionStep { start, filtered, ready };

// Publishes the values of `step` on a demo model. Every step assigns each value any step changes,
// so the steps may follow one another on one object, each giving what it gives on a fresh one.
void applySelectionStep(MainViewModel& model, SelectionStep step);

} // namespace orvalink::guide
