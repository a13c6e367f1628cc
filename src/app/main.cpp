#include "ui/shell/ApplicationShell.h"

#include <QApplication>

namespace {

// The developer switch of the tutorial image export. The guide export answers it once it exists;
// until then the normal window always opens.
bool shouldRunGuideExport()
{
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    orvalink::ui::configureApplication();
    if (shouldRunGuideExport()) {
        // The guide export starts here, shows its own view and ends the process itself.
    }
    return orvalink::ui::runMainWindow(app);
}
