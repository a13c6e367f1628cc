#include "viewmodel/launch/LaunchSequence.h"

#include "diskops/OperationRecovery.h"
#include "model/AppPaths.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/launch/LeftoverSweep.h"
#include "viewmodel/launch/RecoveryProgress.h"
#include "viewmodel/texts/BrowsingTexts.h"
#include "viewmodel/texts/DiskWorkStepText.h"
#include "viewmodel/texts/ErrorText.h"
#include "viewmodel/texts/RecoveryTexts.h"

#include <QLoggingCategory>

namespace orvalink {

Q_LOGGING_CATEGORY(lcLaunch, "orvalink.viewmodel.launch")

namespace {

// The operations put right keeping something aside, or completed instead of taken back, for the
// dock.
QList<KeptVersionsRecord> keptVersionsRecords(const QList<RecoveredOperation>& recovered, const QDateTime& at)
{
    QList<KeptVersionsRecord> records;
    for (const RecoveredOperation& operation : recovered) {
        // What waits where it is, newer than the data, is kept aside there too.
        const QStringList kept = operation.keptPaths + operation.waitingPaths;
        const QStringList places = operation.olderVersions + kept + operation.heldPaths;
        if (places.isEmpty() && !operation.completedInstead)
            continue;
        // A migration completed instead of taken back is found at its target.
        const QString shown = operation.completedInstead ? operation.targetPath : places.constFirst();
        records.append({QUuid::createUuid(), operation.sourcePath, shown, operation.olderVersions, kept, at,
                        operation.heldPaths, operation.holders, operation.completedInstead});
    }
    return records;
}

} // namespace

LaunchSequence::LaunchSequence(ViewModelContext& context, PersistedStateReader& persisted,
                               DirectoryLoader& loader, AccountWorkflows& account)
    : m_context(context), m_persisted(persisted), m_loader(loader), m_account(account)
{}

QCoro::Task<> LaunchSequence::bootstrap()
{
    const FlowTicket self = m_flows.ticket();
    std::optional<BilingualText> startFailure;
    try {
        AppPaths::ensureBaseDirectories();
    } catch (const std::exception& error) {
        startFailure = BilingualText::same(localizedDescription(error));
    }
    // What writes killed midway left beside the stores goes before anything reads or writes them.
    const std::shared_ptr<LogService> log = m_context.services().logService;
    auto sweeping = m_context.background().run([log] { removeLeftoversOfKilledWrites(*log); });
    co_await std::move(sweeping);
    if (!self.isAlive())
        co_return;
    // Operations an earlier run left halfway are put right before anything lists or moves data.
    auto recovering = recoverInterruptedOperations();
    const RecoveryTexts recovery = co_await std::move(recovering);
    if (!self.isAlive())
        co_return;
    // What the start-up said last: should anything else speak before it ends (the answer of an undo
    // started meanwhile, say), that answer is newer, and stays.
    const std::optional<BilingualText> said = m_context.activity().infoMessage();
    const ViewModelServices& services = m_context.services();
    if (recovery.error)
        startFailure = startFailure ? *startFailure + QStringLiteral(" ") + *recovery.error : *recovery.error;
    if (startFailure)
        m_context.activity().setErrorMessage(startFailure);
    m_context.browsing().setAvailableVolumes(services.volumeService->listVolumes());
    m_persisted.refreshStorageUsageSnapshot();
    auto reload = m_persisted.reloadPersistedState();
    co_await std::move(reload);
    if (!self.isAlive())
        co_return;

    try {
        auto load = m_loader.loadCurrentDirectoryForNavigation(false);
        co_await std::move(load);
    } catch (const std::exception& error) {
        qCWarning(lcLaunch) << "the first listing failed:" << error.what();
    }
    if (!self.isAlive())
        co_return;
    // The listing clears the message when it starts; without this the user would never learn that
    // nothing can be saved, or what an interrupted operation left. A listing failure of its own is
    // newer and stays.
    if (startFailure && !m_context.activity().errorMessage())
        m_context.activity().setErrorMessage(startFailure);
    auto synchronization = synchronizeBackendStateOnLaunch();
    co_await std::move(synchronization);
    if (!self.isAlive())
        co_return;
    if (m_context.activity().infoMessage() != said)
        co_return;
    const BilingualText loaded = startupListedText();
    m_context.activity().setInfoMessage(recovery.info ? *recovery.info + QStringLiteral(" ") + loaded
                                                      : loaded);
}

QCoro::Task<RecoveryTexts> LaunchSequence::recoverInterruptedOperations()
{
    const FlowTicket self = m_flows.ticket();
    // Held by the work: the window may be closed while it runs, and the runner outlives nothing.
    const std::shared_ptr<LogService> log = m_context.services().logService;
    const std::shared_ptr<VolumeService> volumes = m_context.services().volumeService;
    auto survey = m_context.background().run([] { return OperationRecovery::pendingSourcePaths(); });
    const QStringList pending = co_await std::move(survey);
    if (!self.isAlive() || pending.isEmpty())
        co_return RecoveryTexts{};
    ActivityState& activity = m_context.activity();
    // Disk work started while the survey ran writes a journal of its own, which a recovery now
    // would take for an interrupted one: the journal is left for the next start.
    if (activity.isDiskWorkBusy())
        co_return RecoveryTexts{};
    activity.setDiskWork(DiskWork::recovery);
    activity.setInfoMessage(recoveryInProgressText(pending, m_context.presentation()));
    // The dock shows which operation is put right and how far that has got, as it does for a run.
    beginProgress(activity, recoveryRunTitle(), pending.size(), 0);
    const RecoveryProgress progress;
    std::unique_ptr<ProgressMonitor> monitor = progress.follow(m_context.background(), activity, self,
                                                               m_context.workflowSettings().progressInterval);
    auto work = m_context.background().run([log, volumes, starting = progress.starting()] {
        return OperationRecovery(*log, *volumes).recoverInterruptedOperations(starting);
    });
    const QList<RecoveredOperation> recovered = co_await std::move(work);
    if (!self.isAlive())
        co_return RecoveryTexts{};
    co_await stopProgressMonitor(std::move(monitor));
    if (!self.isAlive())
        co_return RecoveryTexts{};
    // What was kept aside stays in the dock until the user has seen it; the counters go.
    m_context.history().setKeptVersions(keptVersionsRecords(recovered, m_context.workflowSettings().clock()));
    beginProgress(activity, {}, 0, 0);
    activity.setDiskWork(DiskWork::none);
    const RecoveryTexts texts = recoveryTexts(recovered, m_context.presentation());
    // Told at once, not after the listing and the account that follow.
    activity.setInfoMessage(texts.info);
    co_return texts;
}

QCoro::Task<> LaunchSequence::synchronizeBackendStateOnLaunch()
{
    const FlowTicket self = m_flows.ticket();
    AccountWorkflows& account = m_account;
    const std::optional<BackendSession> saved =
        m_context.services().backendAuthService->sessionStore().load();
    account.session().publishSavedSession(saved);
    if (!saved) {
        m_context.accountState().setFeedbackDashboard(std::nullopt);
        account.session().activateLocalHistoryScope(std::nullopt);
        co_return;
    }

    const FlowTicket ticket = account.session().ticket();
    std::exception_ptr failure;
    std::optional<BackendSession> current;
    try {
        auto validation = account.session().validSessionFor(ticket);
        current = co_await std::move(validation);
    } catch (...) {
        failure = std::current_exception();
    }
    // The user may have signed in or out meanwhile; then this answer is about a session that is
    // no longer shown.
    if (!self.isAlive() || !ticket.isCurrent())
        co_return;
    if (failure) {
        account.session().handleAuthenticationLossIfNeeded(failure);
        co_return;
    }
    account.session().activateLocalHistoryScope(current->email);
    auto followUps = account.auth().runSessionFollowUps();
    co_await std::move(followUps);
}

} // namespace orvalink
