#pragma once

#include "model/AppConfig.h"
#include "model/DirectoryEntry.h"
#include "viewmodel/smart/SmartMigrationSuggestion.h"

#include <QList>
#include <QWidget>
#include <optional>

class QHBoxLayout;
class QLabel;
class QScrollArea;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class Chip;

// The content of the sidebar's "Migration List" group while Smart Migration is on: the profile's
// name and summary above a sideways-scrolling row of suggestion cards; a card opens its folder.
class SmartMigrationPanel : public QWidget {
    Q_OBJECT

public:
    explicit SmartMigrationPanel(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    void rebuildCards(const QList<SmartMigrationSuggestion>& suggestions);

    MainViewModel& m_viewModel;
    QLabel* m_title = nullptr;
    Chip* m_profileBadge = nullptr;
    QLabel* m_summary = nullptr;
    QScrollArea* m_cardScroll = nullptr;
    QWidget* m_cards = nullptr;
    QHBoxLayout* m_cardLayout = nullptr;
    struct SuggestionInputs {
        const DirectoryEntry* listing = nullptr;
        qsizetype count = 0;
        QString directory;
        SmartMigrationProfile profile = SmartMigrationProfile::other;
        UILanguage language = UILanguage::bilingual;
        bool privacy = false;
        bool operator==(const SuggestionInputs&) const = default;
    };
    std::optional<SuggestionInputs> m_suggestionInputs;
    // What the cards show now (the suggestions and their shown paths); rebuilt when it changes.
    QList<SmartMigrationSuggestion> m_shownSuggestions;
    QStringList m_shownPaths;
};

} // namespace orvalink::ui
