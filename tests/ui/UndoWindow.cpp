#include "UndoWindow.h"

#include "UiTestSupport.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QScrollArea>

namespace orvalink::test {

UndoWindow::UndoWindow(QSize size, int records, UILanguage language, std::chrono::milliseconds collapse)
    : fit(size, language), count(records), collapseInterval(collapse)
{}

bool UndoWindow::open()
{
    if (!fit.start())
        return false;
    fit.w->dashboard().setActivityCollapseInterval(collapseInterval);
    QList<LinkMapping> mappings;
    for (int i = 0; i < count; ++i)
        mappings.append(
            mappingRecord(fit.fx.tree.path(QStringLiteral("Moved %1").arg(i, 2, 10, QLatin1Char('0')))));
    context().history().setUndoHistory(mappings);
    context().history().setMigratedMappings(mappings);
    context().history().setMigratedMappingCount(count);
    fit.vm->workflows().setUndoMode(true);
    settleWindow(window());
    return true;
}

void UndoWindow::runUndo(LinkMapping mapping, qsizetype copiesLeft)
{
    ActivityState& activity = context().activity();
    activity.setCurrentOperationTitle({"反悔上次迁移", "Undo Last Move"});
    activity.setMigrationTotalItems(1);
    activity.setDiskWork(DiskWork::undo);
    settleWindow(window());
    QList<LinkMapping> left = context().history().undoHistory();
    left.removeIf([&mapping](const LinkMapping& kept) { return kept.id == mapping.id; });
    context().history().setUndoHistory(left);
    context().history().setLastRestoredPaths({mapping.sourcePath});
    if (copiesLeft > 0)
        context().history().setUndoLeftovers({leftBehindRecord(mapping.sourcePath, copiesLeft, true)});
    activity.setMigrationProcessedItems(1);
    activity.setDiskWork(DiskWork::none);
    settleWindow(window());
}

void UndoWindow::bringIntoView(QWidget* widget)
{
    find<QScrollArea>("detailScroll")->ensureWidgetVisible(widget);
    settleWindow(window());
}

ViewModelContext& UndoWindow::context()
{
    return ViewModelInternals::context(*fit.vm);
}

} // namespace orvalink::test
