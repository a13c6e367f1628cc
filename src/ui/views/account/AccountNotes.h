#pragma once

#include "ui/widgets/CollapsibleSection.h"

class QLabel;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class DisclaimerCard;

// The closing notes of the account sheet: rules of safe migration and what the service keeps.
// Refreshes itself on the texts; its cards are built once and take each language in place.
class AccountNotesSection : public CollapsibleSection {
    Q_OBJECT

public:
    explicit AccountNotesSection(MainViewModel& viewModel, QWidget* parent = nullptr);

private:
    void refresh();

    MainViewModel& m_viewModel;
    QLabel* m_summary = nullptr;
    // A card for each note, in the order of the notes.
    QList<DisclaimerCard*> m_cards;
};

} // namespace orvalink::ui
