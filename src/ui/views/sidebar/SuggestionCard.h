#pragma once

#include "viewmodel/smart/SmartMigrationSuggestion.h"

#include <QWidget>

class QLabel;

namespace orvalink::ui {

// One Smart Migration suggestion: its title, the path as shown and its note on a card tinted by the
// suggestion's tone. A click calls the owner's action.
class SuggestionCard : public QWidget {
    Q_OBJECT

public:
    static constexpr int labelWidth = 250;

    SuggestionCard(const SmartMigrationSuggestion& suggestion, const QString& shownPath,
                   QWidget* parent = nullptr);

    static QColor toneColor(SmartMigrationSuggestion::Tone tone);
    QColor tone() const { return m_tone; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tone;
};

} // namespace orvalink::ui
