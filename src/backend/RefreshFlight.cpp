#include "backend/RefreshFlight.h"

namespace orvalink {

void RefreshFlight::succeed(BackendSession session)
{
    m_session = std::move(session);
    finish();
}

void RefreshFlight::fail(std::exception_ptr error)
{
    m_error = std::move(error);
    finish();
}

void RefreshFlight::finish()
{
    m_finished = true;
    Q_EMIT finished();
}

BackendSession RefreshFlight::result() const
{
    if (m_error)
        std::rethrow_exception(m_error);
    Q_ASSERT(m_session);
    return *m_session;
}

} // namespace orvalink
