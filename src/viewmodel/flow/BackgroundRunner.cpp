#include "viewmodel/flow/BackgroundRunner.h"

namespace orvalink {

BackgroundRunner::BackgroundRunner(int maximumThreads)
{
    m_pool.setMaxThreadCount(maximumThreads);
    m_pool.setObjectName(QStringLiteral("orvalink-background"));
}

BackgroundRunner::~BackgroundRunner()
{
    waitForDone();
}

void BackgroundRunner::waitForDone()
{
    m_pool.waitForDone();
}

void BackgroundRunner::remember(QFuture<void> future)
{
    m_inFlight.removeIf([](const QFuture<void>& work) { return work.isFinished(); });
    m_inFlight.append(std::move(future));
}

QCoro::Task<> BackgroundRunner::whenIdle()
{
    m_inFlight.removeIf([](const QFuture<void>& work) { return work.isFinished(); });
    return allFinished(m_inFlight);
}

QCoro::Task<> BackgroundRunner::allFinished(QList<QFuture<void>> futures)
{
    for (const QFuture<void>& future : futures)
        co_await future;
}

} // namespace orvalink
