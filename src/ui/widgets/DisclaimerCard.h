#pragma once

#include "ui/widgets/PlainCard.h"

class QLabel;

namespace orvalink::ui {

// A note card: a semibold title above a secondary body that wraps and is never cut off.
class DisclaimerCard : public PlainCard {
    Q_OBJECT

public:
    DisclaimerCard(const QString& title, const QString& body, QWidget* parent = nullptr);

    // Shows other texts (another language) in place; an unchanged text is not set again.
    void setTexts(const QString& title, const QString& body);

private:
    QLabel* m_title = nullptr;
    QLabel* m_body = nullptr;
};

} // namespace orvalink::ui
