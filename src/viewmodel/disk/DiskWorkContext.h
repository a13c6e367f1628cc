#pragma once

#include "platform/CancellationToken.h"
#include "viewmodel/disk/BatchHold.h"
#include "viewmodel/disk/RunQuestion.h"
#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/state/BilingualText.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace orvalink {

class ActivityState;
class BackgroundRunner;
class BrowsingState;
class DirectoryLoader;
class HistoryState;
class PathMappingService;
class PersistedStateReader;
class Presentation;
class ScopedDiskServices;
class SmartMigration;
class ViewModelContext;
struct ViewModelServices;
struct WorkflowSettings;

// What the migration, retry, undo and repair flows work with: the published state they report to,
// the background runner, the settings, the texts, the history scope's disk services and the few
// steps they share with the rest of the state object. Main thread only.
//
// A flow takes a ticket() at its start and checks it after every co_await before it touches the
// context again: once the owner closes (retire()) or is destroyed, the ticket is stale and the
// context may be gone.
class DiskWorkContext {
public:
    DiskWorkContext(ViewModelContext& context, PersistedStateReader& persisted, DirectoryLoader& loader,
                    const SmartMigration& smartMigration);

    FlowTicket ticket() const { return m_tickets.ticket(); }
    // Every flow stops at its next step and every size walk at its next entry; no flow starts any
    // more. A batch held between two items, and a run waiting for an answer (which is cancel, and
    // whose prompt goes), goes on, to find its ticket stale.
    void retire();
    bool isRetired() const { return m_tickets.isRetired(); }
    // Cancelled when the owner closes: a long size estimate must not hold up the close.
    const platform::CancellationToken& walks() const { return m_walks; }
    // Awaited by a batch before each item (the caller checks its ticket afterwards).
    BatchHold& hold() { return m_hold; }
    // Awaited by a restore run for the answer to the question it published (the caller checks its
    // ticket afterwards).
    RunQuestion& question() { return m_question; }

    BrowsingState& browsing();
    const BrowsingState& browsing() const;
    ActivityState& activity();
    const ActivityState& activity() const;
    HistoryState& history();
    const HistoryState& history() const;
    BackgroundRunner& background();
    const WorkflowSettings& workflowSettings() const;
    const Presentation& presentation() const;
    const PathMappingService& pathMappingService() const;
    ViewModelServices& services();
    QString effectiveTargetRoot() const;
    qsizetype repairPosition() const;
    void setRepairPosition(qsizetype position);

    // The disk services bound to the history scope in use now, for one run.
    std::shared_ptr<const ScopedDiskServices> captureServices();

    // The size of the selected paths in the listing.
    void updateSelectedSize();
    // Reads the history in the background and publishes it (the caller checks its ticket after).
    QCoro::Task<> reloadPersistedState();
    void refreshStorageUsageSnapshot();
    QCoro::Task<> loadCurrentDirectoryForNavigation(bool forceLiveRefresh);
    // The refusal of Smart Migration's WeChat list, or none.
    std::optional<BilingualText> smartMigrationValidationMessage(const QStringList& paths) const;

private:
    ViewModelContext& m_context;
    PersistedStateReader& m_persisted;
    DirectoryLoader& m_loader;
    const SmartMigration& m_smartMigration;
    FlowTicketSource m_tickets;
    platform::CancellationToken m_walks = platform::CancellationToken::create();
    BatchHold m_hold;
    RunQuestion m_question;
};

} // namespace orvalink
