#pragma once

#include "ui/models/DirectoryListSource.h"

#include <QHash>
#include <QSet>
#include <QStringList>

namespace orvalink::ui::test {

// A directory list source whose state the test sets directly and which records every action as
// "action:path" (keyboard actions without a path). Selection and focus follow the actions unless
// the test turns that off, as a state object that refuses a change would.
class FakeDirectoryListSource : public DirectoryListSource {
public:
    QList<DirectoryEntry> entries;
    std::optional<QString> focused;
    QSet<QString> selected;
    QHash<QString, LinkRecommendation> recommendations;
    QHash<QString, QString> hints;
    DirectoryListTexts words{QStringLiteral("Migrated"), QStringLiteral("Open"),
                             QStringLiteral("Open in Sidebar"), QStringLiteral("Reveal in File Manager")};
    bool acceptsSelection = true;
    QStringList calls;

    const QList<DirectoryEntry>& sortedEntries() override { return entries; }
    QString displayName(const DirectoryEntry& entry) override { return entry.name; }
    std::optional<QString> focusedEntryPath() override { return focused; }
    bool isSelected(const DirectoryEntry& entry) override { return selected.contains(entry.path); }
    std::optional<LinkRecommendation> recommendation(const DirectoryEntry& entry) override;
    std::optional<QString> smartMigrationHintText(const DirectoryEntry& entry) override;
    DirectoryListTexts texts() override { return words; }

    void focusEntry(const DirectoryEntry& entry) override;
    void setSelection(const DirectoryEntry& entry, bool isSelected) override;
    void openDirectory(const DirectoryEntry& entry) override;
    void openContainingDirectory(const DirectoryEntry& entry) override;
    void revealInFileManager(const DirectoryEntry& entry) override;
    void focusPreviousEntry() override { moveFocus(-1); }
    void focusNextEntry() override { moveFocus(+1); }
    void openFocusedEntry() override;

    int rowOf(const QString& path) const;

private:
    void moveFocus(int step);
};

// A listed entry under /home/tester/Downloads.
DirectoryEntry makeEntry(const QString& name, EntryKind kind, qint64 size = 0, bool symbolicLink = false);

} // namespace orvalink::ui::test
