#include "viewmodel/state/HistoryState.h"

namespace orvalink {

namespace {

QList<LinkMapping> selectedOf(const QList<LinkMapping>& mappings, const QSet<QUuid>& ids)
{
    QList<LinkMapping> selected;
    for (const LinkMapping& mapping : mappings) {
        if (ids.contains(mapping.id))
            selected.append(mapping);
    }
    return selected;
}

} // namespace

QList<LinkMapping> HistoryState::selectedUndoMappings() const
{
    return selectedOf(undoHistory(), selectedUndoMappingIDs());
}

QList<LinkMapping> HistoryState::selectedMigratedMappings() const
{
    return selectedOf(migratedMappings(), selectedMigratedMappingIDs());
}

} // namespace orvalink
