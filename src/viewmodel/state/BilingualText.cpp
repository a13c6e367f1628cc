#include "viewmodel/state/BilingualText.h"

namespace orvalink {

BilingualText::BilingualText(const QString& zh, const QString& en)
    : m_zh(zh), m_en(en), m_both(zh + QLatin1Char(' ') + en)
{}

BilingualText::BilingualText(const char* zh, const char* en)
    : BilingualText(QString::fromUtf8(zh), QString::fromUtf8(en))
{}

BilingualText BilingualText::same(const QString& text)
{
    BilingualText result;
    result.m_zh = text;
    result.m_en = text;
    result.m_both = text;
    return result;
}

QString BilingualText::in(UILanguage language) const
{
    switch (language) {
    case UILanguage::chinese:
        return m_zh;
    case UILanguage::english:
        return m_en;
    case UILanguage::bilingual:
        break;
    }
    return m_both;
}

BilingualText& BilingualText::operator+=(const BilingualText& other)
{
    m_zh += other.m_zh;
    m_en += other.m_en;
    m_both += other.m_both;
    return *this;
}

} // namespace orvalink
