#pragma once

#include "ViewModelFixture.h"
#include "WindowTestSupport.h"

#include <QSize>
#include <functional>
#include <memory>

class QListView;
class QScrollArea;

namespace orvalink::test {

// The states of the window the fit checks run in: the plain listing, Smart Migration on (folded,
// as it starts), and a folder with a 200-character name opened, holding long names.
enum class FitState { plain, smart, longFolder };

// Off screen, windows meet the screen of a 1366x768 laptop described in `screenConfig` (whose
// available area less the window's frame is 1366x698). Call before the application is made.
void useLaptopScreen(const char* screenConfig);

// The name of the folder `longFolder` opens: 200 characters.
QString longFolderName();

// Data rows "1366x768-zh" to "1920x1080-both": the window at the laptop's and the desktop's size,
// in Chinese, English and both (columns "size" and "language").
void addSizeAndLanguageRows();

// The window over a home of 40 entries (folders and files, some with long names) in the settings
// `adjust` makes, at `size`.
struct FitWindow {
    FitWindow(QSize size, const std::function<void(AppConfig&)>& adjust);
    // The same in `language`, the other settings as they start.
    FitWindow(QSize size, UILanguage language);

    // Shows the window and waits until its start-up and the listing are done.
    [[nodiscard]] bool start();
    // Brings the window into `state` and waits until the listing is done.
    [[nodiscard]] bool enter(FitState state);
    // Saves the window as painted under <build>/screens/<name>.png.
    [[nodiscard]] bool saveAs(const QString& name) const;
    QScrollArea* column() const;
    QListView* list() const;

    ViewModelFixture fx;
    std::unique_ptr<MainViewModel> vm;
    std::unique_ptr<WindowUnderTest> w;
};

} // namespace orvalink::test
