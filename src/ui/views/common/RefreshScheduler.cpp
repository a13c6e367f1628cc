#include "ui/views/common/RefreshScheduler.h"

namespace orvalink::ui {

RefreshScheduler::RefreshScheduler(std::function<void()> refresh, QObject* parent)
    : QObject(parent), m_refresh(std::move(refresh))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &RefreshScheduler::refreshNow);
}

void RefreshScheduler::schedule()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void RefreshScheduler::flush()
{
    if (m_timer.isActive())
        refreshNow();
}

void RefreshScheduler::refreshNow()
{
    m_timer.stop();
    m_refresh();
    Q_EMIT refreshed();
}

void RefreshScheduler::flushAll(const QObject* root)
{
    for (RefreshScheduler* scheduler : root->findChildren<RefreshScheduler*>())
        scheduler->flush();
}

} // namespace orvalink::ui
