#include "viewmodel/disk/AdministratorAuthorization.h"

#include "diskops/PrivilegedFileOperationError.h"
#include "diskops/UndoNotDone.h"
#include "model/OrvalinkError.h"
#include "platform/PlatformError.h"
#include "viewmodel/context/WorkflowSettings.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/flow/BackgroundRunner.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/state/ViewModelServices.h"
#include "viewmodel/texts/ErrorText.h"
#include "viewmodel/texts/Presentation.h"

#include <cerrno>

namespace orvalink {

namespace {

bool isPermissionErrno(int errorNumber)
{
    return errorNumber == EACCES || errorNumber == EPERM;
}

bool platformErrorNeedsAdministrator(const platform::PlatformError& error)
{
    if (error.errorNumber() != 0)
        return isPermissionErrno(error.errorNumber());
    const platform::PlatformError* underlying = error.underlying();
    return underlying && platformErrorNeedsAdministrator(*underlying);
}

QString titleCased(const QString& text)
{
    QString result = text;
    bool wordStart = true;
    for (QChar& c : result) {
        if (c.isSpace()) {
            wordStart = true;
        } else if (wordStart) {
            c = c.toUpper();
            wordStart = false;
        }
    }
    return result;
}

} // namespace

bool requiresAdministratorAuthorization(const std::exception_ptr& error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const PrivilegedFileOperationError&) {
        return true;
    } catch (const UndoNotDone& notDone) {
        const OrvalinkError::Underlying& cause = notDone.cause();
        if (cause.error)
            return requiresAdministratorAuthorization(cause.error);
        return cause.isPermissionError || isPermissionErrno(cause.errorNumber);
    } catch (const OrvalinkError& failure) {
        if (failure.errorCase() == OrvalinkError::Case::permissionDenied)
            return true;
        if (failure.errorCase() == OrvalinkError::Case::rollbackFailed) {
            const OrvalinkError::Underlying& underlying = failure.underlying();
            if (underlying.error)
                return requiresAdministratorAuthorization(underlying.error);
            return underlying.isPermissionError || isPermissionErrno(underlying.errorNumber);
        }
        return false;
    } catch (const platform::PlatformError& failure) {
        return platformErrorNeedsAdministrator(failure);
    } catch (...) {
        return false;
    }
}

bool handleAdministratorAuthorizationRequirementIfNeeded(ActivityState& activity, const Presentation& texts,
                                                         const std::exception_ptr& error,
                                                         const QString& actionCN, const QString& actionEN,
                                                         const QString& path)
{
    if (!requiresAdministratorAuthorization(error))
        return false;
    const QString shown = texts.displayPath(path);
    const BilingualText message(
        actionCN + QStringLiteral("需要系统管理员授权才能访问 ") + shown +
            QStringLiteral("。你可以立即获取权限后再重试；如果系统已弹出授权窗口，请先完成授权。"),
        titleCased(actionEN) + QStringLiteral(" needs administrator rights for ") + shown +
            QStringLiteral(", asked for through the system's authorization prompt. Get permission now and "
                           "retry. If a system authorization dialog is already open, complete it first."));
    activity.setAccessRequirementPrompt(AccessRequirementPrompt{
        QUuid::createUuid(), AccessRequirementPrompt::Kind::requiresAdministratorAuthorization,
        BilingualText("需要管理员权限", "Administrator Access Required"), message});
    return true;
}

void verifyAdministratorAuthorization(const std::shared_ptr<platform::CommandRunner>& runner)
{
    const std::shared_ptr<platform::CommandRunner> used =
        runner ? runner
               : std::make_shared<platform::ProcessCommandRunner>(QStringLiteral("pkexec"), QStringList());
    const platform::CommandOutcome outcome = used->run(QStringLiteral("/bin/true"));
    if (outcome.exitStatus == 0 && !outcome.crashed)
        return;
    QString text = QString::fromUtf8(outcome.standardError).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Authorization rejected");
    throw platform::PlatformError(outcome.exitStatus, text);
}

QCoro::Task<> requestAdministratorAuthorization(DiskWorkContext& context)
{
    if (context.activity().isRequestingAdminAuthorization())
        co_return;
    context.activity().setIsRequestingAdminAuthorization(true);
    const std::shared_ptr<platform::CommandRunner> runner =
        context.workflowSettings().administratorCheckRunner;
    const FlowTicket ticket = context.ticket();
    auto check = context.background().runCatching([runner] { verifyAdministratorAuthorization(runner); });
    auto outcome = co_await std::move(check);
    if (!ticket.isAlive())
        co_return;
    context.activity().setIsRequestingAdminAuthorization(false);
    if (outcome.succeeded()) {
        context.activity().setInfoMessage(
            BilingualText("管理员权限验证成功。后续迁移受保护目录时会请求系统授权。",
                          "Administrator authorization verified. Protected migrations "
                          "will request system permission."));
        co_return;
    }
    const QString description = localizedDescription(outcome.error());
    context.activity().setErrorMessage(
        BilingualText(QStringLiteral("管理员权限验证失败：") + description,
                      QStringLiteral("Administrator authorization failed: ") + description));
}

} // namespace orvalink
