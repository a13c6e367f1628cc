#include "viewmodel/disk/RestoreItem.h"

#include "platform/FoundEntries.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/MonitoredDiskCall.h"
#include "viewmodel/disk/ScopedDiskServices.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"

namespace orvalink {

namespace {

// The restore of `mapping` on the background runner with the answers given so far: forced when a
// mode is given, after ending the programs that hold the migrated item when that was asked for.
auto restoreCall(const DiskWorkContext& context, std::shared_ptr<const ScopedDiskServices> services,
                 const LinkMapping& mapping, const UndoAnswers& answers)
{
    return [services = std::move(services), id = mapping.id,
            anchorUser = context.browsing().config().anchorUser, answers] {
        return services->undo().undoMigration(id, anchorUser, answers);
    };
}

} // namespace

QCoro::Task<std::optional<SettledRestore>> settleRestore(DiskWorkContext& context, FlowTicket ticket,
                                                         std::shared_ptr<const ScopedDiskServices> services,
                                                         LinkMapping mapping, UndoAnswers answers,
                                                         qint64 expected, qint64 base)
{
    for (;;) {
        // The data arrives at a hidden sibling of the source, and takes the source's place once whole.
        auto restoring =
            runMonitoredDiskCall(context, ticket, ArrivalPlace::restoreSiblingOf(mapping.sourcePath),
                                 expected, base, restoreCall(context, services, mapping, answers));
        const auto outcome = co_await std::move(restoring);
        if (!outcome)
            co_return std::nullopt;
        if (outcome->succeeded()) {
            const QStringList copies = outcome->value().leftCopyPaths;
            if (copies.isEmpty())
                co_return SettledRestore{*outcome, false};
            // The undo names where its removal stopped (a folder may hold many); the user is told
            // what is to be found there.
            auto counting =
                context.background().runCatching([copies] { return platform::countFoundEntries(copies); });
            const auto counted = co_await std::move(counting);
            if (!ticket.isAlive())
                co_return std::nullopt;
            co_return SettledRestore{*outcome, false, counted.succeeded() ? counted.value() : copies.size()};
        }
        const std::optional<QUuid> question = publishRestoreQuestion(
            context.activity(), context.presentation(), outcome->error(), mapping, answers);
        if (!question)
            co_return SettledRestore{*outcome, false};
        auto answering = context.question().answerTo(*question);
        const UndoConflictAnswer answer = co_await std::move(answering);
        if (!ticket.isAlive())
            co_return std::nullopt;
        if (!takeRestoreAnswer(answers, answer))
            co_return SettledRestore{*outcome, true};
        // The question's line has had its answer; the run goes on.
        context.activity().setInfoMessage(std::nullopt);
    }
}

} // namespace orvalink
