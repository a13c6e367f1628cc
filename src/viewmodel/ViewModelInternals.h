#pragma once

namespace orvalink {

class MainViewModel;
class ViewModelContext;

// The shared context behind a MainViewModel's actions: the published state with its setters, the
// stores, services and desktop hooks. For code that puts the state object into a given state
// directly, the guide's demo scenes and tests. The window's views never include this header: they
// read through MainViewModel's const state and act through its actions.
class ViewModelInternals {
public:
    static ViewModelContext& context(MainViewModel& viewModel);
};

} // namespace orvalink
