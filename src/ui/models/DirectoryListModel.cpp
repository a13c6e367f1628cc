#include "ui/models/DirectoryListModel.h"

#include "model/Formatters.h"
#include "ui/models/DirectoryIconCache.h"

namespace orvalink::ui {

namespace {

QVariant optionalText(const std::optional<QString>& text)
{
    return text ? QVariant(*text) : QVariant();
}

} // namespace

DirectoryListModel::DirectoryListModel(DirectoryListSource& source, DirectoryIconCache* icons,
                                       QObject* parent)
    : QAbstractListModel(parent), m_source(source), m_icons(icons)
{
    m_rowCount = int(m_source.sortedEntries().size());
    m_focusedPath = m_source.focusedEntryPath().value_or(QString());
    m_sizeTimer.setSingleShot(true);
    m_sizeTimer.setInterval(std::chrono::milliseconds(100));
    connect(&m_sizeTimer, &QTimer::timeout, this, &DirectoryListModel::flushSizes);
}

int DirectoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

Qt::ItemFlags DirectoryListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

const DirectoryEntry* DirectoryListModel::entryAt(int row) const
{
    // The source may have shrunk before the owner's reset arrives; such rows read as empty.
    const QList<DirectoryEntry>& entries = m_source.sortedEntries();
    if (row < 0 || row >= m_rowCount || row >= entries.size())
        return nullptr;
    return &entries.at(row);
}

QVariant DirectoryListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const DirectoryEntry* entry = entryAt(index.row());
    if (!entry)
        return {};
    const bool migrated = entry->isSymbolicLink || entry->isAliasFile;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        // The tip is the whole name as shown, plain text; the delegate offers it where the row
        // draws the name cut short.
        return m_source.displayName(*entry);
    case Qt::DecorationRole:
        return m_icons ? QVariant(m_icons->icon(entry->path, entry->kind)) : QVariant();
    case PathRole:
        return entry->path;
    case IsDirectoryRole:
        return entry->isDirectory();
    case IsMigratedRole:
        return migrated;
    case SizeBytesRole:
        return entry->sizeBytes;
    case SizeTextRole:
        return Formatters::sizeString(entry->sizeBytes);
    case IsFocusedRole: {
        const std::optional<QString> focused = m_source.focusedEntryPath();
        return focused && *focused == entry->path;
    }
    case IsSelectedRole:
        return m_source.isSelected(*entry);
    case RecommendationTextRole:
    case RecommendationIsAliasRole: {
        const std::optional<LinkRecommendation> recommendation = m_source.recommendation(*entry);
        if (role == RecommendationIsAliasRole)
            return recommendation && recommendation->isAlias;
        return recommendation ? QVariant(recommendation->text) : QVariant();
    }
    case HintTextRole:
        return optionalText(m_source.smartMigrationHintText(*entry));
    case MigratedTextRole:
        return m_source.texts().migratedBadge;
    case OpenTextRole:
        return m_source.texts().openButton;
    default:
        return {};
    }
}

void DirectoryListModel::resetListing()
{
    m_sizeTimer.stop();
    beginResetModel();
    m_rowCount = int(m_source.sortedEntries().size());
    // The view repaints every row now, the focused one as the source has it; its row is looked up
    // only when the focus moves away from it.
    m_focusedPath = m_source.focusedEntryPath().value_or(QString());
    m_focusedRowKnown = false;
    endResetModel();
}

int DirectoryListModel::findRow(const QString& path, int hint) const
{
    const QList<DirectoryEntry>& entries = m_source.sortedEntries();
    const int count = std::min(m_rowCount, int(entries.size()));
    // A keyboard move lands next to the previous row: look there before walking the listing.
    for (int row : {hint + 1, hint - 1, hint}) {
        if (row >= 0 && row < count && entries.at(row).path == path)
            return row;
    }
    for (int row = 0; row < count; ++row) {
        if (entries.at(row).path == path)
            return row;
    }
    return -1;
}

int DirectoryListModel::syncFocus()
{
    if (!m_focusedRowKnown) {
        m_focusedRow = m_focusedPath.isEmpty() ? -1 : findRow(m_focusedPath, -1);
        m_focusedRowKnown = true;
    }
    const QString path = m_source.focusedEntryPath().value_or(QString());
    if (path == m_focusedPath)
        return m_focusedRow;
    const int previous = m_focusedRow;
    const int row = path.isEmpty() ? -1 : findRow(path, previous);
    m_focusedPath = path;
    m_focusedRow = row;
    if (previous != row) {
        emitRowChanged(previous, {IsFocusedRole});
        emitRowChanged(row, {IsFocusedRole});
    }
    return row;
}

void DirectoryListModel::refreshRowInputs()
{
    if (m_rowCount > 0)
        Q_EMIT dataChanged(index(0), index(m_rowCount - 1));
}

void DirectoryListModel::noteSizesChanged()
{
    if (!m_sizeTimer.isActive())
        m_sizeTimer.start();
}

void DirectoryListModel::setSizeUpdateInterval(std::chrono::milliseconds interval)
{
    m_sizeTimer.setInterval(interval);
}

void DirectoryListModel::flushSizes()
{
    // A size refresh must keep the rows; if the count moved anyway, the rows are no longer ours.
    if (m_source.sortedEntries().size() != m_rowCount) {
        resetListing();
        return;
    }
    if (m_rowCount > 0)
        Q_EMIT dataChanged(index(0), index(m_rowCount - 1), {SizeBytesRole, SizeTextRole});
}

void DirectoryListModel::emitRowChanged(int row, const QList<int>& roles)
{
    if (row >= 0 && row < m_rowCount)
        Q_EMIT dataChanged(index(row), index(row), roles);
}

void DirectoryListModel::focusRow(int row)
{
    if (const DirectoryEntry* entry = entryAt(row)) {
        m_source.focusEntry(DirectoryEntry(*entry));
        syncFocus();
    }
}

void DirectoryListModel::setRowSelected(int row, bool selected)
{
    if (const DirectoryEntry* entry = entryAt(row)) {
        const QString path = entry->path;
        m_source.setSelection(DirectoryEntry(*entry), selected);
        // The box shows what the source decided, which may be no change at all.
        if (const DirectoryEntry* after = entryAt(row); after && after->path == path)
            emitRowChanged(row, {IsSelectedRole});
    }
}

void DirectoryListModel::openRow(int row)
{
    if (const DirectoryEntry* entry = entryAt(row); entry && entry->isDirectory())
        m_source.openDirectory(DirectoryEntry(*entry));
}

void DirectoryListModel::openContainingDirectory(int row)
{
    if (const DirectoryEntry* entry = entryAt(row))
        m_source.openContainingDirectory(DirectoryEntry(*entry));
}

void DirectoryListModel::revealRow(int row)
{
    if (const DirectoryEntry* entry = entryAt(row))
        m_source.revealInFileManager(DirectoryEntry(*entry));
}

} // namespace orvalink::ui
