#pragma once

#include "ui/views/detail/RecordRowLayout.h"

#include <QImage>
#include <QList>
#include <QString>
#include <optional>

class QMenu;
class QWidget;

namespace orvalink::test {

// Fonts and animations as the window tests need them: the application font families that cover
// Chinese, and every widget animation off so changes paint in their final state.
void prepareWidgetTests();

// Why sizes measured in text cannot mean here what they mean elsewhere: the fonts the tests are
// pinned to (the install script's Noto and DejaVu, through FONTCONFIG_FILE) are missing. None when
// they are there; tests that count rows or check fit skip with this reason.
std::optional<QString> missingPinnedFonts();

// Lays `widget` out off screen at `size` (or its size hint) and renders it into an image.
QImage renderOffscreen(QWidget* widget, QSize size = QSize());

// Waits until every captcha picture under `root` (or `root` itself) has been decoded or given
// up on; false when one is still under way after a guard far beyond the decoder's time limit.
bool settleCaptchas(QWidget* root);

// Runs everything queued in `window`: the views' refreshes, the layouts and the scrolls that keep a
// column steady.
void settleWindow(QWidget& window);

// Moves the pointer onto the middle of `widget` as the window system does: through its window, so
// the window and the widgets under the pointer hear of it (QTest::mouseMove on a widget tells the
// widget alone). False when the widget's window has no native window yet, or the widget's middle
// lies outside its window.
bool movePointerTo(QWidget* widget);

// An ideograph `path` lacks (a path holds fewer than 1,400 of their three bytes). The search matches
// an entry's whole path, letters in order: a query that holds one matches only the names that hold
// it, whatever the folder the tests run in is called.
QChar ideographMissingFrom(const QString& path);
// Types `text` into `widget` as an input method commits it, the way ideographs are typed.
void commitTyped(QWidget* widget, const QString& text);

// Saves `image` as <build>/screens/<name>.png for a reviewer to look at; returns the path, or an
// empty string when the file could not be written.
QString saveScreen(const QImage& image, const QString& name);

// The first column of row `y` whose alpha passes `threshold`, or -1.
int firstOpaqueColumn(const QImage& image, int y, int threshold = 16);

// The painted parts of the record lists under `root` named `listName` (every record list for an
// empty name), laid out where the lists show them: of row `row`, or of every row for -1.
QList<ui::RecordRowPart> recordParts(const QWidget& root, const QString& listName = QString(), int row = -1);
// The part `name` of that row; a part with an empty name when the row has none.
ui::RecordRowPart recordPart(const QWidget& root, const QString& listName, int row, const QString& name);
// A left click in the middle of that part (a painted button's click); false when there is no such part.
bool clickRecordPart(const QWidget& root, const QString& listName, int row, const QString& name);
// A right click in the middle of that part; the menu it opened, or null.
QMenu* recordPartMenu(const QWidget& root, const QString& listName, int row, const QString& name);

} // namespace orvalink::test
