#pragma once

#include "SidebarHarness.h"
#include "ViewModelFixture.h"

#include <memory>

namespace orvalink::test {

// What a test of the sidebar column holds: a temporary home, a state object over it and the
// column, which the test makes in this order; tearDown() undoes them in the reverse one.
class SidebarTestWorld {
protected:
    MainViewModel& vm() { return *m_vm; }
    QString home() const { return m_fx->home.home(); }
    void tearDown()
    {
        m_ui.reset();
        m_vm.reset();
        m_fx.reset();
    }

    std::unique_ptr<ViewModelFixture> m_fx;
    std::unique_ptr<MainViewModel> m_vm;
    std::unique_ptr<SidebarHarness> m_ui;
};

} // namespace orvalink::test
