#include "viewmodel/flow/DetachedFlow.h"

#include <QLoggingCategory>
#include <exception>

namespace orvalink {

Q_LOGGING_CATEGORY(lcFlows, "orvalink.viewmodel.flows")

namespace {

QCoro::Task<> guarded(QCoro::Task<> flow)
{
    try {
        co_await std::move(flow);
    } catch (const std::exception& error) {
        qCWarning(lcFlows) << "a detached flow failed:" << error.what();
    } catch (...) {
        qCWarning(lcFlows) << "a detached flow failed";
    }
}

} // namespace

void startDetached(QCoro::Task<> flow)
{
    guarded(std::move(flow));
}

} // namespace orvalink
