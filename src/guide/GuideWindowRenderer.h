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

// The size of a sheet floating over the window in a picture of `canvasSize`: its own, but within
// the canvas with the window's padding (a sheet cut by the picture's edge shows nothing the reader
// could place).
QSize guideSheetSize(QSize canvasSize);

// The sheet `kind` over `viewModel` as the window builds it, for a picture: none of its appear
// hooks (an export asks the account service nothing), no scroll bars.
std::unique_ptr<QWidget> makeGuideSheet(GuideOverlayKind kind, MainViewModel& viewModel);

// Renders `sheet` (from makeGuideSheet) off screen at `size`, its body from the top and cut nowhere
// (see frameColumn()). The widget stays alive for inspection.
QImage renderGuideSheet(QWidget& sheet, QSize size);

// The window's dashboard as the tutorial pictures show it: none of its start-up work, no timed
// collapse, no least size of its own, and no scroll bars.
std::unique_ptr<ui::MainDashboardView> makeGuideDashboard(MainViewModel& viewModel,
                                                          bool showMigratedItemsPanel);

// Renders `dashboard` (from makeGuideDashboard) off screen at `windowSize`, its columns framed the
// way the pictures show them (see frameColumn()): the sidebar from the minimum-size row (or, when
// that does not fit with the rest, from the search row) down to the information line under the
// directory list; the detail column with the selected-size card, or the migrated-items panel when
// that is open. Neither column is scrolled sideways. The widget stays alive for inspection.
QImage renderGuideDashboard(ui::MainDashboardView& dashboard, QSize windowSize);

// One tutorial picture of the main window of `viewModel`: the real dashboard view at `windowSize`
// with rounded corners and a soft shadow, centred on a pale gradient of `canvasSize`, and with
// `overlay` the dimmed canvas under a floating sheet of guideSheetSize(). The dashboard runs none
// of its start-up work, and the sheets are built like the window builds them. Throws
// ExportError(bitmapUnavailable).
QImage renderGuideWindowImage(MainViewModel& viewModel, QSize canvasSize, QSize windowSize,
                              bool showMigratedItemsPanel, std::optional<GuideOverlayKind> overlay);

} // namespace orvalink::guide
