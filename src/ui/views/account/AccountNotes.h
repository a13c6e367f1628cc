#pragma once

#include "ui/widgets/CollapsibleSection.h"

class QLabel;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The closing notes of the account sheet: rules of safe migration and what the service keeps.
class AccountNotesSection : public CollapsibleSection {
    Q_OBJECT

public:
    AccountNotesSection(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    void rebuildCards();

    MainViewModel& m_viewModel;
    QLabel* m_summary = nullptr;
    QWidget* m_cards = nullptr;
    QString m_cardsLanguageKey;
};

} // namespace orvalink::ui
