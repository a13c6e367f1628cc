#pragma once

#include <QCollator>
#include <QString>
#include <algorithm>
#include <functional>

namespace orvalink {

// Orders names as a person reading them expects, ignoring case ("alpha" before "Beta"), in the
// current locale's collation. One instance is not for concurrent use; copies are independent.
class LocalizedOrder {
public:
    LocalizedOrder();
    bool operator()(const QString& a, const QString& b) const;

private:
    QCollator m_collator;
};

// Stable sort of `items` by the name `nameOf` gives; equal names keep their order.
template <typename Container, typename NameOf> void sortByLocalizedName(Container& items, NameOf nameOf)
{
    const LocalizedOrder less;
    std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
        return less(std::invoke(nameOf, a), std::invoke(nameOf, b));
    });
}

} // namespace orvalink
