#include "guide/ExportError.h"

namespace orvalink::guide {

ExportError::ExportError(Case errorCase) : m_case(errorCase), m_what(errorDescription().toUtf8()) {}

QString ExportError::errorDescription() const
{
    switch (m_case) {
    case Case::bitmapUnavailable:
        return QStringLiteral("Failed to allocate the bitmap buffer for guide snapshot export.");
    case Case::pngEncodingFailed:
        return QStringLiteral("Failed to encode the rendered guide snapshot as PNG.");
    case Case::gifEncodingFailed:
        return QStringLiteral("Failed to encode the rendered guide snapshot as GIF.");
    }
    return {};
}

} // namespace orvalink::guide
