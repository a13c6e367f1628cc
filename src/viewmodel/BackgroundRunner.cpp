#include "viewmodel/BackgroundRunner.h"

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

} // namespace orvalink
