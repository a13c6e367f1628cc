#pragma once

#include <QMargins>
#include <QSize>

namespace orvalink::ui {

// The window's content sizes on a screen whose available area (without panels and docks) is
// `available` and whose window frame (title bar, borders) takes `frame`: the content may use what
// is left. A window never asks for more than that, so its status line stays on screen, also
// maximised on a small laptop.

// The least content size: `designed`, narrowed and shortened to the room where the screen has less.
QSize leastContentSize(QSize designed, QSize available, const QMargins& frame);

// The size the window first opens at: `preferred`, within the room, never below `least`.
QSize firstContentSize(QSize preferred, QSize least, QSize available, const QMargins& frame);

} // namespace orvalink::ui
