#pragma once

#include "ui/widgets/Chip.h"

namespace orvalink::ui {

// The capsule label of the account sheet's cards: caption text, medium weight, on the accent colour
// at 12%.
class MetaChip : public Chip {
    Q_OBJECT

public:
    explicit MetaChip(const QString& text, QWidget* parent = nullptr);
};

} // namespace orvalink::ui
