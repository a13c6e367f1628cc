#pragma once

#include "model/DirectoryEntry.h"
#include "viewmodel/browsing/SmartMigrationRules.h"
#include "viewmodel/smart/SmartMigrationSuggestion.h"
#include "viewmodel/state/BilingualText.h"
#include "viewmodel/texts/PresentationPrivacy.h"

#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace orvalink {

// The cards, summary and row hints of Smart Migration for one read. Build it from the settings
// and folders in force at the moment of the read; it keeps nothing between reads.
class SmartMigrationAdvisor {
public:
    // Answers whether a directory exists at a path; the default asks the file system.
    using DirectoryProbe = std::function<bool(const QString& path)>;

    SmartMigrationAdvisor(SmartMigrationCriteria criteria, QString homeDirectory, PresentationPrivacy privacy,
                          UILanguage language, DirectoryProbe isDirectory = {});

    // No cards while Smart Migration is off; else the WeChat or the generic cards of the profile.
    QList<SmartMigrationSuggestion> smartMigrationSuggestions(const QList<DirectoryEntry>& entries,
                                                              const QString& currentDirectoryPath) const;

    // Not found (no container root); else an entry point per root while browsing outside them, then
    // the candidates of the listing, larger first; or one "nothing here" card.
    QList<SmartMigrationSuggestion>
    buildWeChatSmartMigrationSuggestions(const QList<DirectoryEntry>& entries,
                                         const QString& currentDirectoryPath) const;
    // The candidates, larger first and equal sizes by name; without any, an entry point for each of
    // the home's Downloads, Movies, Pictures, Documents and Library/Caches that exists.
    QList<SmartMigrationSuggestion>
    buildGenericSmartMigrationSuggestions(const QList<DirectoryEntry>& entries) const;

    // The one-line description of the profile, whether Smart Migration is on or off.
    QString smartMigrationSummary() const;

    // "Smart Pick" for a row whose standardized path is in `suggestedPaths` (the set over the
    // published listing), none otherwise or while Smart Migration is off.
    std::optional<QString> smartMigrationHintText(const DirectoryEntry& entry,
                                                  const QSet<QString>& suggestedPaths) const;

    // Why a WeChat candidate is worth moving, from its lower-cased name.
    QString weChatSuggestionNote(const DirectoryEntry& entry) const;

private:
    QList<DirectoryEntry> candidates(const QList<DirectoryEntry>& entries) const;

    SmartMigrationCriteria m_criteria;
    QString m_homeDirectory;
    PresentationPrivacy m_privacy;
    UILanguage m_language;
    DirectoryProbe m_isDirectory;
};

} // namespace orvalink
