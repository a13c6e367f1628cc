#include "viewmodel/texts/NameListText.h"

namespace orvalink {

BilingualText nameListText(const QStringList& names, qsizetype shown)
{
    QStringList distinct = names;
    distinct.removeDuplicates();
    const QStringList listed = distinct.mid(0, shown);
    BilingualText text(listed.join(QStringLiteral("、")), listed.join(QStringLiteral(", ")));
    const qsizetype others = distinct.size() - listed.size();
    if (others < 1)
        return text;
    const QString count = QString::number(others);
    return text + BilingualText(QStringLiteral(" 以及另外 ") + count + QStringLiteral(" 个"),
                                QStringLiteral(" and ") + count + QStringLiteral(" more"));
}

} // namespace orvalink
