#pragma once

#include <QtGlobal>
#include <memory>

namespace orvalink {

// What a flow holds across every co_await: whether its owner still exists and still wants the
// result. A flow takes a ticket at its start and, after each co_await, checks it before it touches
// its owner or anything the owner gave it; a stale ticket ends the flow by a plain return, quietly
// (never by an exception). Copies are cheap; a default ticket is stale.
class FlowTicket {
public:
    FlowTicket() = default;

    // False once the owner is closing or gone: the flow must not touch it any more.
    bool isAlive() const { return !m_series.expired(); }
    // Alive, and the owner has not moved on to a newer flow of the same series since the ticket was
    // taken (a newer listing, another account session).
    bool isCurrent() const;
    // The number of the series the ticket was taken at.
    quint64 number() const { return m_number; }

private:
    friend class FlowTicketSource;
    FlowTicket(std::weak_ptr<const quint64> series, quint64 number)
        : m_series(std::move(series)), m_number(number)
    {}

    std::weak_ptr<const quint64> m_series;
    quint64 m_number = 0;
};

// Hands out the tickets of one series of flows. Main thread only. Retiring it (at the latest when
// it is destroyed) makes every ticket stale for good, including those handed out afterwards.
class FlowTicketSource {
public:
    FlowTicketSource() = default;
    ~FlowTicketSource() { retire(); }
    FlowTicketSource(const FlowTicketSource&) = delete;
    FlowTicketSource& operator=(const FlowTicketSource&) = delete;

    // A ticket current until the next advance().
    FlowTicket ticket() const;
    // Moves the series on: tickets taken before stay alive but are no longer current.
    FlowTicket advance();
    quint64 number() const { return m_series ? *m_series : m_retiredAt; }

    void retire();
    bool isRetired() const { return !m_series; }

private:
    std::shared_ptr<quint64> m_series = std::make_shared<quint64>(0);
    quint64 m_retiredAt = 0;
};

} // namespace orvalink
