#include "viewmodel/disk/DiskWorkContext.h"

#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/ScopedDiskServices.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/smart/SmartMigration.h"
#include "viewmodel/state/ActivityState.h"

namespace orvalink {

DiskWorkContext::DiskWorkContext(ViewModelContext& context, PersistedStateReader& persisted,
                                 DirectoryLoader& loader, const SmartMigration& smartMigration)
    : m_context(context), m_persisted(persisted), m_loader(loader), m_smartMigration(smartMigration)
{}

void DiskWorkContext::retire()
{
    m_walks.cancel();
    m_tickets.retire();
    m_hold.setHeld(false);
    // Nobody is left to answer: the question is taken off the screen and its run let go.
    if (m_question.isWaiting())
        m_context.activity().setUndoConflictPrompt(std::nullopt);
    m_question.cancel();
}

BrowsingState& DiskWorkContext::browsing()
{
    return m_context.browsing();
}

const BrowsingState& DiskWorkContext::browsing() const
{
    return m_context.browsing();
}

ActivityState& DiskWorkContext::activity()
{
    return m_context.activity();
}

const ActivityState& DiskWorkContext::activity() const
{
    return m_context.activity();
}

HistoryState& DiskWorkContext::history()
{
    return m_context.history();
}

const HistoryState& DiskWorkContext::history() const
{
    return m_context.history();
}

BackgroundRunner& DiskWorkContext::background()
{
    return m_context.background();
}

const WorkflowSettings& DiskWorkContext::workflowSettings() const
{
    return m_context.workflowSettings();
}

const Presentation& DiskWorkContext::presentation() const
{
    return m_context.presentation();
}

const PathMappingService& DiskWorkContext::pathMappingService() const
{
    return m_context.pathMappingService();
}

ViewModelServices& DiskWorkContext::services()
{
    return m_context.services();
}

QString DiskWorkContext::effectiveTargetRoot() const
{
    return m_context.effectiveTargetRoot();
}

qsizetype DiskWorkContext::repairPosition() const
{
    return m_context.repairPosition();
}

void DiskWorkContext::setRepairPosition(qsizetype position)
{
    m_context.setRepairPosition(position);
}

std::shared_ptr<const ScopedDiskServices> DiskWorkContext::captureServices()
{
    return ScopedDiskServices::capture(m_context.services(), m_context.pathMappingService());
}

void DiskWorkContext::updateSelectedSize()
{
    m_loader.updateSelectedSize(m_context.browsing().entries());
}

QCoro::Task<> DiskWorkContext::reloadPersistedState()
{
    return m_persisted.reloadPersistedState();
}

void DiskWorkContext::refreshStorageUsageSnapshot()
{
    m_persisted.refreshStorageUsageSnapshot();
}

QCoro::Task<> DiskWorkContext::loadCurrentDirectoryForNavigation(bool forceLiveRefresh)
{
    return m_loader.loadCurrentDirectoryForNavigation(forceLiveRefresh);
}

std::optional<BilingualText> DiskWorkContext::smartMigrationValidationMessage(const QStringList& paths) const
{
    return m_smartMigration.smartMigrationValidationMessage(paths);
}

} // namespace orvalink
