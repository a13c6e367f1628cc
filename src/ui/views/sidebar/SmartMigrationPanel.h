#pragma once

#include "viewmodel/smart/SmartMigrationSuggestion.h"

#include <QList>
#include <QStringList>
#include <QWidget>

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
    // What the cards show now (the suggestions and their shown paths); rebuilt when it changes.
    QList<SmartMigrationSuggestion> m_shownSuggestions;
    QStringList m_shownPaths;
};

} // namespace orvalink::ui
