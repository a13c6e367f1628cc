#pragma once

#include <functional>
#include <memory>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::guide {

// Builds the state object a demo starts from; without one, the ordinary MainViewModel() on the
// application-support files.
using ViewModelFactory = std::function<std::unique_ptr<MainViewModel>()>;

// The fixed state the tutorial pictures show: a signed-in demo account, a home with four large
// folders, three of them migrated to an external disk, a short history, one log line and a note
// that the picture is made from demo data. Times are relative to the moment of the call.
//
// The demo values are only published on the returned object. Nothing is saved, and no store or
// service is called: the published setters are used instead of the settings actions (which save),
// so the user's files stay exactly as they were.
std::unique_ptr<MainViewModel> makeDemoViewModel(const ViewModelFactory& make = {});

// The three steps of the selection tour, each on a fresh demo model.
std::unique_ptr<MainViewModel> makeSelectionStartViewModel(const ViewModelFactory& make = {});
std::unique_ptr<MainViewModel> makeSelectionFilteredViewModel(const ViewModelFactory& make = {});
std::unique_ptr<MainViewModel> makeSelectionReadyViewModel(const ViewModelFactory& make = {});

} // namespace orvalink::guide
