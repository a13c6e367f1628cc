#include "viewmodel/browsing/NameCollation.h"

namespace orvalink {

namespace {

// Qt's collator for the C locale compares raw code units and builds case-sensitive sort keys
// whatever the case setting, so "B" would land before "a" and keys would disagree with compare().
// A process started under C or POSIX therefore collates with the neutral English rules.
QLocale collationLocale(const QLocale& locale)
{
    if (locale.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

} // namespace

NameCollator::NameCollator(const QLocale& locale) : m_collator(collationLocale(locale))
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
    m_collator.setIgnorePunctuation(false);
}

int NameCollator::compare(const QString& lhs, const QString& rhs) const
{
    return m_collator.compare(lhs, rhs);
}

QCollatorSortKey NameCollator::sortKey(const QString& name) const
{
    return m_collator.sortKey(name);
}

} // namespace orvalink
