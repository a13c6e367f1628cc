#pragma once

#include "ui/widgets/PlainCard.h"

namespace orvalink::ui {

// A note card: a semibold title above a secondary body that wraps and is never cut off.
class DisclaimerCard : public PlainCard {
    Q_OBJECT

public:
    DisclaimerCard(const QString& title, const QString& body, QWidget* parent = nullptr);
};

} // namespace orvalink::ui
