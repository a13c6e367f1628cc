#pragma once

#include <QList>
#include <algorithm>
#include <vector>

namespace orvalink {

// The newest `limit` of a stream of records, without holding the others: a heap whose top is the
// record that goes first when a newer one comes. "Newest" is the larger key; of two records with
// the same key the one offered first counts as newer, so the result is exactly what a stable sort
// of all records by key, newest first, would begin with. Costs O(log limit) per record offered.
//
// `KeyOf` maps a record to a qint64 key (for example a date's milliseconds since the epoch).
template <typename Record, typename KeyOf> class NewestRecords {
public:
    explicit NewestRecords(qsizetype limit, KeyOf keyOf = {})
        : m_limit(std::max<qsizetype>(limit, 0)), m_keyOf(keyOf)
    {}

    qsizetype limit() const { return m_limit; }
    // How many records were offered in all.
    qint64 offered() const { return m_offered; }

    void offer(Record record)
    {
        Entry entry{m_keyOf(record), m_offered++, std::move(record)};
        if (qsizetype(m_heap.size()) < m_limit) {
            m_heap.push_back(std::move(entry));
            std::push_heap(m_heap.begin(), m_heap.end(), comesFirst);
            return;
        }
        if (m_heap.empty() || !comesFirst(entry, m_heap.front()))
            return;
        std::pop_heap(m_heap.begin(), m_heap.end(), comesFirst);
        m_heap.back() = std::move(entry);
        std::push_heap(m_heap.begin(), m_heap.end(), comesFirst);
    }

    // The kept records, newest first; equal keys in the order they were offered.
    QList<Record> newestFirst() const
    {
        std::vector<const Entry*> order;
        order.reserve(m_heap.size());
        for (const Entry& entry : m_heap)
            order.push_back(&entry);
        std::sort(order.begin(), order.end(),
                  [](const Entry* lhs, const Entry* rhs) { return comesFirst(*lhs, *rhs); });
        QList<Record> records;
        records.reserve(qsizetype(order.size()));
        for (const Entry* entry : order)
            records.append(entry->record);
        return records;
    }

    void clear()
    {
        m_heap.clear();
        m_offered = 0;
    }

private:
    struct Entry {
        qint64 key;
        qint64 sequence;
        Record record;
    };

    // True when `lhs` comes before `rhs` in the newest-first order. As the heap's ordering it puts
    // the record that comes last on top.
    static bool comesFirst(const Entry& lhs, const Entry& rhs)
    {
        return lhs.key != rhs.key ? lhs.key > rhs.key : lhs.sequence < rhs.sequence;
    }

    qsizetype m_limit;
    KeyOf m_keyOf;
    qint64 m_offered = 0;
    std::vector<Entry> m_heap;
};

} // namespace orvalink
