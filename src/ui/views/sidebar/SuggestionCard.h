#pragma once

#include "viewmodel/smart/SmartMigrationSuggestion.h"

#include <QWidget>

namespace orvalink::ui {

class ElidedLabel;

// One Smart Migration suggestion: its title, the path as shown and its note on a card tinted by the
// suggestion's tone. A click calls the owner's action. The card lives across refreshes: the owner
// hands it the suggestion again whenever that changes.
class SuggestionCard : public QWidget {
    Q_OBJECT

public:
    static constexpr int labelWidth = 250;

    explicit SuggestionCard(QWidget* parent = nullptr);

    // Shows `suggestion`, its path as `shownPath` (masked under presentation privacy); the card's
    // height follows the note's lines.
    void setSuggestion(const SmartMigrationSuggestion& suggestion, const QString& shownPath);
    // The real folder the card stands for, as setSuggestion() gave it.
    const QString& path() const { return m_path; }

    static QColor toneColor(SmartMigrationSuggestion::Tone tone);
    QColor tone() const { return m_tone; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ElidedLabel* m_title = nullptr;
    ElidedLabel* m_shownPath = nullptr;
    ElidedLabel* m_note = nullptr;
    QString m_path;
    QColor m_tone;
};

} // namespace orvalink::ui
