#pragma once

#include "ui/widgets/CollapsibleSection.h"

#include <QStringList>

class QLabel;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class Chip;

// The capsule label of the account sheet's cards: caption text, medium weight, on the accent colour
// at 12%.
Chip* metaChip(const QString& text, QWidget* parent);

// A wrapping row of metaChips, one per text, in order.
QWidget* metaChipRow(const QStringList& texts, QWidget* parent);

// A note card: a semibold title above a secondary body that wraps and is never cut off.
QWidget* disclaimerCard(const QString& title, const QString& body, QWidget* parent);

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
    // The title and body label of each note's card, in the order of the notes.
    QList<QLabel*> m_cardTitles;
    QList<QLabel*> m_cardBodies;
};

} // namespace orvalink::ui
