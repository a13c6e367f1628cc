#pragma once

#include <QColor>
#include <QIcon>
#include <QStringList>

// The window's symbols: small line icons of our own, stored as SVG in the resources and keyed by
// the symbol names the views use ("magnifyingglass", "xmark.circle.fill", ...).
namespace orvalink::ui::Symbols {

// Every symbol name we ship, sorted.
QStringList names();

bool contains(const QString& name);

// The symbol `name` drawn in `tint` at any size; with no tint it takes the application palette's
// window-text colour when it is painted. Disabled icons draw at reduced opacity. An unknown name
// gives a neutral placeholder symbol (never a null icon), so a typo shows instead of a gap.
QIcon icon(const QString& name, const QColor& tint = QColor());

} // namespace orvalink::ui::Symbols
