#include "ui/views/common/RefreshScheduler.h"

#include <QMetaMethod>

namespace orvalink::ui {

RefreshScheduler::RefreshScheduler(std::function<void()> refresh, QObject* parent)
    : QObject(parent), m_refresh(std::move(refresh))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &RefreshScheduler::refreshNow);
}

void RefreshScheduler::watchAllSignals(const QObject* source)
{
    const QMetaObject* meta = source->metaObject();
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("schedule()"));
    // QObject's own signals (destroyed, objectNameChanged) say nothing about the state.
    for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal)
            connect(source, method, this, slot);
    }
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
}

} // namespace orvalink::ui
