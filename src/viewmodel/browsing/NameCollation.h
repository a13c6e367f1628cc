#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QString>

namespace orvalink {

// Case-insensitive name comparison in the current locale, as the name orders and the suggestion
// cards use it. Keys and direct comparisons always agree.
class NameCollator {
public:
    explicit NameCollator(const QLocale& locale = QLocale());

    // Negative, zero or positive as `lhs` sorts before, with or after `rhs`.
    int compare(const QString& lhs, const QString& rhs) const;
    QCollatorSortKey sortKey(const QString& name) const;

private:
    QCollator m_collator;
};

} // namespace orvalink
