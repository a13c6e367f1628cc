#include "model/ContentDigest.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace orvalink {

ContentDigest ContentDigest::of(QByteArrayView bytes)
{
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Blake2s_128);
    return {qFromUnaligned<quint64>(hash.constData()), qFromUnaligned<quint64>(hash.constData() + 8)};
}

size_t qHash(const ContentDigest& digest, size_t seed) noexcept
{
    return size_t(digest.low) ^ seed;
}

} // namespace orvalink
