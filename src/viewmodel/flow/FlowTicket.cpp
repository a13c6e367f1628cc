#include "viewmodel/flow/FlowTicket.h"

namespace orvalink {

bool FlowTicket::isCurrent() const
{
    const std::shared_ptr<const quint64> series = m_series.lock();
    return series && *series == m_number;
}

FlowTicket FlowTicketSource::ticket() const
{
    if (!m_series)
        return FlowTicket({}, m_retiredAt);
    return FlowTicket(m_series, *m_series);
}

FlowTicket FlowTicketSource::advance()
{
    if (m_series)
        ++*m_series;
    return ticket();
}

void FlowTicketSource::retire()
{
    if (!m_series)
        return;
    m_retiredAt = *m_series;
    m_series.reset();
}

} // namespace orvalink
