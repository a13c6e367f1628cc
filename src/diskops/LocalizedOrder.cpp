#include "diskops/LocalizedOrder.h"

namespace orvalink {

LocalizedOrder::LocalizedOrder()
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

bool LocalizedOrder::operator()(const QString& a, const QString& b) const
{
    return m_collator.compare(a, b) < 0;
}

} // namespace orvalink
