#pragma once

#include "ui/models/DirectoryListSource.h"

#include <cstddef>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class DirectoryListModel;

// The directory list over the state object: the shown listing, the row inputs in the user's
// language and the row and keyboard actions, each forwarded to the state object's actions.
class ViewModelDirectoryListSource : public DirectoryListSource {
public:
    explicit ViewModelDirectoryListSource(MainViewModel& viewModel);

    // Tells `model` (which must outlive nothing of the state object) what changed: a new listing
    // resets it, a listing whose rows kept their paths and order only repaints sizes (the
    // background size pass), a focus move repaints two rows, and selection, language, link mode
    // and privacy repaint the row inputs.
    void attach(DirectoryListModel& model);

    const QList<DirectoryEntry>& sortedEntries() override;
    QString displayName(const DirectoryEntry& entry) override;
    std::optional<QString> focusedEntryPath() override;
    bool isSelected(const DirectoryEntry& entry) override;
    std::optional<LinkRecommendation> recommendation(const DirectoryEntry& entry) override;
    std::optional<QString> smartMigrationHintText(const DirectoryEntry& entry) override;
    DirectoryListTexts texts() override;

    void focusEntry(const DirectoryEntry& entry) override;
    void setSelection(const DirectoryEntry& entry, bool selected) override;
    void openDirectory(const DirectoryEntry& entry) override;
    void openContainingDirectory(const DirectoryEntry& entry) override;
    void revealInFileManager(const DirectoryEntry& entry) override;

    void focusPreviousEntry() override;
    void focusNextEntry() override;
    void openFocusedEntry() override;

private:
    // Identity of the rows shown: their count and a hash of their paths in order.
    struct RowsKey {
        qsizetype count = 0;
        size_t pathsHash = 0;
        bool operator==(const RowsKey&) const = default;
    };
    RowsKey currentRowsKey();
    void listingChanged(DirectoryListModel& model);

    MainViewModel& m_viewModel;
    // The rows shown, while known: after a search or filter change they are known again only at
    // the next listing.
    std::optional<RowsKey> m_shownRows;
    // The published listing the rows come from, to tell a new listing from a new search or order.
    const DirectoryEntry* m_shownListing = nullptr;
};

} // namespace orvalink::ui
