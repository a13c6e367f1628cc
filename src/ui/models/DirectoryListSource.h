#pragma once

#include "model/DirectoryEntry.h"

#include <QList>
#include <QString>
#include <optional>

namespace orvalink::ui {

// The list's fixed words, already in the user's language (one language, or both joined by a space).
struct DirectoryListTexts {
    QString migratedBadge;
    QString openButton;
    QString openContainingDirectory;
    QString revealInFileManager;
};

// The link-kind badge of one entry.
struct LinkRecommendation {
    QString text;
    bool isAlias = false; // drawn in blue instead of green
};

// What the directory list reads and whom it tells about the user's actions. The window implements it
// over the state object; the list decides nothing by itself. Every call happens on the main thread.
//
// Change notifications do not go through this interface: the owner tells the DirectoryListModel when
// the listing, the focus, the row inputs or the sizes changed.
class DirectoryListSource {
public:
    virtual ~DirectoryListSource() = default;

    // The shown entries, in shown order. The reference stays valid and the rows keep their order
    // until the owner resets the model; a size refresh may replace entries in place.
    virtual const QList<DirectoryEntry>& sortedEntries() = 0;

    // Row inputs, asked only for the rows being painted.
    virtual QString displayName(const DirectoryEntry& entry) = 0;
    virtual std::optional<QString> focusedEntryPath() = 0;
    virtual bool isSelected(const DirectoryEntry& entry) = 0;
    // None while link mode is off or when the entry has no recommendation.
    virtual std::optional<LinkRecommendation> recommendation(const DirectoryEntry& entry) = 0;
    virtual std::optional<QString> smartMigrationHintText(const DirectoryEntry& entry) = 0;
    virtual DirectoryListTexts texts() = 0;

    // Row actions. The entry is the list's own copy: an action may replace the listing (opening a
    // directory does) without leaving the argument dangling.
    virtual void focusEntry(const DirectoryEntry& entry) = 0;
    virtual void setSelection(const DirectoryEntry& entry, bool selected) = 0;
    // Navigates into a directory; does nothing for a file.
    virtual void openDirectory(const DirectoryEntry& entry) = 0;
    virtual void openContainingDirectory(const DirectoryEntry& entry) = 0;
    virtual void revealInFileManager(const DirectoryEntry& entry) = 0;

    // Keyboard actions of the list.
    virtual void focusPreviousEntry() = 0;
    virtual void focusNextEntry() = 0;
    virtual void openFocusedEntry() = 0;
};

} // namespace orvalink::ui
