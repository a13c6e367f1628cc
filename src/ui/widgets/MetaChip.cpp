#include "ui/widgets/MetaChip.h"

namespace orvalink::ui {

MetaChip::MetaChip(const QString& text, QWidget* parent) : Chip(text, parent)
{
    // The font and padding are a Chip's own; only the tint is the accent's.
    setObjectName(QStringLiteral("metaChip"));
    setTint(palette().color(QPalette::Highlight), 0.12);
}

} // namespace orvalink::ui
