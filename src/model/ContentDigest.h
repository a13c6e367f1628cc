#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace orvalink {

// A 128-bit digest (BLAKE2s) of some bytes, for telling contents apart without keeping them: two
// different contents share one only by a chance far below anything a history could meet (with a
// billion contents, below one in 10^20).
struct ContentDigest {
    quint64 high = 0;
    quint64 low = 0;

    static ContentDigest of(QByteArrayView bytes);

    bool operator==(const ContentDigest&) const = default;
};

size_t qHash(const ContentDigest& digest, size_t seed = 0) noexcept;

} // namespace orvalink
