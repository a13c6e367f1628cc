#include "guide/GuideMarkers.h"

#include <QByteArray>
#include <cstdlib>

namespace orvalink::guide {

void writeMarker(std::FILE* stream, const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void failProcess(const QString& line)
{
    std::fflush(stdout);
    writeMarker(stderr, line);
    std::_Exit(1);
}

} // namespace orvalink::guide
