#pragma once

#include "ui/widgets/GroupPanel.h"
#include "ui/widgets/KeyedWidgets.h"
#include "viewmodel/smart/SmartMigrationSuggestion.h"

#include <QList>
#include <optional>

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class Chip;
class SidewaysScrollArea;
class SuggestionCard;

// The sidebar's "Migration List" group, shown while Smart Migration is on. Its title row also holds
// the panel's title, the profile's name, its summary and an Expand/Collapse button; unfolded, the
// box below holds a row of suggestion cards that scrolls sideways (its bar shows while it does).
// A card opens its folder. The group starts folded and keeps the user's choice while it lives.
class SmartMigrationPanel : public GroupPanel {
    Q_OBJECT

public:
    explicit SmartMigrationPanel(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);

private:
    void updateToggleText();
    void updateCards(const QList<SmartMigrationSuggestion>& suggestions);

    MainViewModel& m_viewModel;
    QLabel* m_title = nullptr;
    Chip* m_profileBadge = nullptr;
    QLabel* m_summary = nullptr;
    // The summary whole, wrapped above the cards while they show.
    QLabel* m_description = nullptr;
    QPushButton* m_toggle = nullptr;
    SidewaysScrollArea* m_cardScroll = nullptr;
    bool m_expanded = false;
    QWidget* m_cards = nullptr;
    // One card per suggestion, kept by its folder, so a card the keyboard is on stays on.
    KeyedWidgets<SuggestionCard> m_cardList;
};

} // namespace orvalink::ui
