#pragma once

#include <QImage>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {
class MainDashboardView;
}

namespace orvalink::guide {

// The sheets that can float over the window in a tutorial picture.
enum class GuideOverlayKind { account };

// Gives the application the look the tutorial pictures are made in, whatever the desktop's theme:
// the Fusion style with its light palette, the font families that cover Chinese, no animations.
void prepareGuideRendering();

// Lays `widget` out off screen at `size` and renders it at device-pixel ratio 1 onto its window
// background, with every layout of its tree settled as on screen (a column taller than `size` keeps
// its height and scrolls). The widget is shown with Qt::WA_DontShowOnScreen, so nothing appears on a
// display.
// `beforeRender` runs once the layouts are settled (to scroll a column, say).
// Throws ExportError(bitmapUnavailable) when the bitmap cannot be allocated.
QImage renderWidgetOffscreen(QWidget& widget, QSize size,
                             const std::function<void(QWidget&)>& beforeRender = {});

// The window's dashboard as the tutorial pictures show it: none of its start-up work, no timed
// collapse, and no least size of its own.
std::unique_ptr<ui::MainDashboardView> makeGuideDashboard(MainViewModel& viewModel,
                                                          bool showMigratedItemsPanel);

// Renders `dashboard` (from makeGuideDashboard) off screen at `windowSize`, its columns scrolled the
// way the pictures show them, each as little as it takes: the sidebar from the minimum-size row
// (or, when that does not fit with the rest, from the search row) down to the information line
// under the directory list; the detail column from its top down to the selected-size card, or to
// the migrated-items panel when that is open. Neither column is scrolled sideways. The widget
// stays alive for inspection.
QImage renderGuideDashboard(ui::MainDashboardView& dashboard, QSize windowSize);

// One tutorial picture of the main window of `viewModel`: the real dashboard view at `windowSize`
// with rounded corners and a soft shadow, centred on a pale gradient of `canvasSize`, and with
// `overlay` the dimmed canvas under a floating sheet. The dashboard runs none of its start-up work,
// and the sheets are built like the window builds them. Throws ExportError(bitmapUnavailable).
QImage renderGuideWindowImage(MainViewModel& viewModel, QSize canvasSize, QSize windowSize,
                              bool showMigratedItemsPanel, std::optional<GuideOverlayKind> overlay);

} // namespace orvalink::guide
