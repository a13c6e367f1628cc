#include "ui/views/sidebar/ViewModelDirectoryListSource.h"

#include "ui/models/DirectoryListModel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/smart/SmartMigration.h"
#include "viewmodel/texts/Presentation.h"

#include <QHashFunctions>

namespace orvalink::ui {

ViewModelDirectoryListSource::ViewModelDirectoryListSource(MainViewModel& viewModel) : m_viewModel(viewModel)
{}

void ViewModelDirectoryListSource::attach(DirectoryListModel& model)
{
    m_shownRows = currentRowsKey();
    m_shownListing = m_viewModel.browsing().entries().constData();
    const BrowsingState& browsing = m_viewModel.browsing();
    QObject::connect(&m_viewModel.listing(), &ShownListing::sortedEntriesChanged, &model,
                     [this, &model] { listingChanged(model); });
    QObject::connect(&browsing, &BrowsingState::focusedEntryPathChanged, &model,
                     [&model] { model.syncFocus(); });
    const auto refreshInputs = [&model] {
        model.refreshRowInputs();
    };
    QObject::connect(&browsing, &BrowsingState::selectedPathsChanged, &model, refreshInputs);
    QObject::connect(&browsing, &BrowsingState::showLinkModeChanged, &model, refreshInputs);
    QObject::connect(&m_viewModel.presentation(), &Presentation::textsChanged, &model, refreshInputs);
}

ViewModelDirectoryListSource::RowsKey ViewModelDirectoryListSource::currentRowsKey()
{
    const QList<DirectoryEntry>& entries = m_viewModel.listing().sortedEntries();
    RowsKey key;
    key.count = entries.size();
    for (const DirectoryEntry& entry : entries)
        key.pathsHash = qHashMulti(key.pathsHash, entry.path);
    return key;
}

void ViewModelDirectoryListSource::listingChanged(DirectoryListModel& model)
{
    // The background size pass republishes the same rows with new sizes: repainting them keeps the
    // user's scroll position, where a reset would not. Only a newly published listing can be such
    // a pass; a new search, filter or order shows other rows and resets at once, without looking at
    // every path (a keystroke over a large folder must stay quick).
    const QList<DirectoryEntry>& listing = m_viewModel.browsing().entries();
    const bool newListing = listing.constData() != m_shownListing;
    m_shownListing = listing.constData();
    if (newListing && m_shownRows) {
        const RowsKey previous = *m_shownRows;
        m_shownRows = currentRowsKey();
        if (*m_shownRows == previous && previous.count > 0) {
            model.noteSizesChanged();
            return;
        }
    } else {
        // Known again at the next listing, which then always resets once.
        m_shownRows.reset();
        if (newListing)
            m_shownRows = currentRowsKey();
    }
    model.resetListing();
}

const QList<DirectoryEntry>& ViewModelDirectoryListSource::sortedEntries()
{
    return m_viewModel.listing().sortedEntries();
}

QString ViewModelDirectoryListSource::displayName(const DirectoryEntry& entry)
{
    return m_viewModel.presentation().displayName(entry.path);
}

std::optional<QString> ViewModelDirectoryListSource::focusedEntryPath()
{
    return m_viewModel.browsing().focusedEntryPath();
}

bool ViewModelDirectoryListSource::isSelected(const DirectoryEntry& entry)
{
    return m_viewModel.browsing().selectedPaths().contains(entry.path);
}

std::optional<LinkRecommendation> ViewModelDirectoryListSource::recommendation(const DirectoryEntry& entry)
{
    if (!m_viewModel.browsing().showLinkMode())
        return std::nullopt;
    const std::optional<orvalink::LinkRecommendation> kind =
        m_viewModel.smartMigration().recommendationKind(entry);
    if (!kind)
        return std::nullopt;
    const Presentation& texts = m_viewModel.presentation();
    if (*kind == orvalink::LinkRecommendation::alias)
        return LinkRecommendation{texts.localized({"建议别名", "Use Alias"}), true};
    return LinkRecommendation{texts.localized({"建议符号链接", "Use Symlink"}), false};
}

std::optional<QString> ViewModelDirectoryListSource::smartMigrationHintText(const DirectoryEntry& entry)
{
    return m_viewModel.smartMigration().smartMigrationHintText(entry);
}

DirectoryListTexts ViewModelDirectoryListSource::texts()
{
    const Presentation& texts = m_viewModel.presentation();
    return {texts.localized({"已迁移", "Migrated"}), texts.localized({"进入", "Open"}),
            texts.localized({"进入该目录", "Open in Sidebar"}),
            texts.localized({"在文件管理器中显示", "Show in File Manager"})};
}

void ViewModelDirectoryListSource::focusEntry(const DirectoryEntry& entry)
{
    m_viewModel.navigation().focusEntry(entry);
}

void ViewModelDirectoryListSource::setSelection(const DirectoryEntry& entry, bool selected)
{
    m_viewModel.navigation().setSelection(entry, selected);
}

void ViewModelDirectoryListSource::openDirectory(const DirectoryEntry& entry)
{
    if (entry.isDirectory())
        m_viewModel.navigation().navigate(entry.path, true);
}

void ViewModelDirectoryListSource::openContainingDirectory(const DirectoryEntry& entry)
{
    m_viewModel.navigation().goToDirectoryContext(entry.path);
}

void ViewModelDirectoryListSource::revealInFileManager(const DirectoryEntry& entry)
{
    m_viewModel.presentation().revealInFileManager(entry.path);
}

void ViewModelDirectoryListSource::focusPreviousEntry()
{
    m_viewModel.navigation().focusPreviousEntry();
}

void ViewModelDirectoryListSource::focusNextEntry()
{
    m_viewModel.navigation().focusNextEntry();
}

void ViewModelDirectoryListSource::openFocusedEntry()
{
    m_viewModel.navigation().openFocusedEntry();
}

} // namespace orvalink::ui
