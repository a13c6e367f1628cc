#pragma once

#include "ScriptedPromptSurface.h"
#include "ui/shell/MainWindow.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <chrono>
#include <memory>

namespace orvalink::test {

// The real window over `viewModel`, off screen, with prompts answered by a script.
struct WindowUnderTest {
    WindowUnderTest(MainViewModel& viewModel, ui::DashboardOptions options = {},
                    std::chrono::milliseconds collapseInterval = std::chrono::seconds(5));

    // Shows the window (never on a real screen) and waits until its start-up has run; false on
    // time-out.
    [[nodiscard]] bool showAndStart();
    // Shows the window at `size` and waits until its start-up and the listing, sizes included, are
    // done; false on time-out.
    [[nodiscard]] bool showAndList(QSize size = QSize(1200, 760));
    ui::MainDashboardView& dashboard() { return window->dashboard(); }
    ui::DashboardViewState& viewState() { return window->dashboard().viewState(); }

    ScriptedPromptSurface* surface = nullptr;
    std::unique_ptr<ui::MainWindow> window;

private:
    MainViewModel& m_viewModel;
};

// How the window opens: with or without the start-up flow, with an initial sheet.
ui::DashboardOptions options(std::optional<ui::QuickSheet> initialSheet, bool bootstrap);
inline ui::DashboardOptions withoutStartup(std::optional<ui::QuickSheet> initialSheet = std::nullopt)
{
    return options(initialSheet, false);
}

// What in the window does not fit its width (see widthFaults()); the smart-migration cards scroll
// sideways by design, showing their scroll bar.
QStringList windowWidthFaults(const QWidget& window);

// A successful and a failed migration record for `path`, as the workflows publish them.
MigrationPathRecord successRecord(const QString& path);
FailedMigrationRecord failedRecord(const QString& path);
// An undo of `path` that came home but left `count` entries on the volume (with `copiesOnly`, copies
// of what is home: the undo is done), as the undo workflow publishes it.
LeftBehindRecord leftBehindRecord(const QString& path, qsizetype count, bool copiesOnly = false);
// A link a repair acted on, as the repair workflow publishes it: pointed at the volume's new mount
// "Renamed", or left pointing at "External".
LinkRepairRecord linkRepairRecord(const QString& path, bool repaired);
// A migrated directory as the history holds it, its data on an external volume.
LinkMapping mappingRecord(const QString& source);

} // namespace orvalink::test
