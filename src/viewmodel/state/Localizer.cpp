#include "viewmodel/state/Localizer.h"

namespace orvalink {

QString Localizer::localized(const QString& zh, const QString& en) const
{
    switch (m_language) {
    case UILanguage::chinese:
        return zh;
    case UILanguage::english:
        return en;
    case UILanguage::bilingual:
        break;
    }
    return zh + QLatin1Char(' ') + en;
}

} // namespace orvalink
