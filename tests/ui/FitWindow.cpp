#include "FitWindow.h"

#include "UiTestSupport.h"
#include "ui/widgets/LayoutSettling.h"
#include "viewmodel/browsing/Navigator.h"

#include <QListView>
#include <QScrollArea>
#include <QTest>

namespace orvalink::test {

namespace {

void fillHome(TestTree& tree)
{
    for (int i = 0; i < 28; ++i) {
        const QString name = i % 7 == 3 ? QStringLiteral("Project archive with a rather long name %1").arg(i)
                                        : QStringLiteral("Folder %1").arg(i, 2, 10, QLatin1Char('0'));
        tree.fileOfSize(name + QStringLiteral("/data.bin"), (i + 1) * 4096);
    }
    for (int i = 0; i < 12; ++i)
        tree.fileOfSize(QStringLiteral("file-%1.dat").arg(i), (i + 1) * 1024);
    // Inside the long folder: names too long for any row, one that looks like markup, short ones
    // (two of them the largest, so rows drawn whole come first in the listing by size).
    const QString folder = longFolderName() + QLatin1Char('/');
    for (int i = 0; i < 6; ++i)
        tree.fileOfSize(
            folder + QStringLiteral("%1 a recording of the whole afternoon session with every speaker, "
                                    "the questions from the audience and the long discussion that "
                                    "followed until the evening.mkv")
                         .arg(i),
            (i + 2) * 4096);
    tree.fileOfSize(
        folder + QStringLiteral("<b>bold notes that go on and on about the meeting and what everyone "
                                "said there afterwards, who answered whom, and what is still open.txt"),
        6000);
    for (int i = 0; i < 6; ++i)
        tree.fileOfSize(folder + QStringLiteral("short %1").arg(i), i < 2 ? 64 * 1024 : 100);
}

} // namespace

void useLaptopScreen(const char* screenConfig)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen:configfile=") + screenConfig);
}

void addSizeAndLanguageRows()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<UILanguage>("language");
    for (const auto& [tag, language] :
         {std::pair{"zh", UILanguage::chinese}, std::pair{"en", UILanguage::english},
          std::pair{"both", UILanguage::bilingual}}) {
        QTest::addRow("1366x768-%s", tag) << QSize(1366, 768) << language;
        QTest::addRow("1920x1080-%s", tag) << QSize(1920, 1080) << language;
    }
}

QString longFolderName()
{
    const QString start = QStringLiteral("Photos from the long summer holiday ");
    QString name = start;
    while (name.size() < 200)
        name += QStringLiteral("and more ");
    return name.left(200);
}

FitWindow::FitWindow(QSize size, const std::function<void(AppConfig&)>& adjust)
{
    fillHome(fx.tree);
    vm = fx.makeViewModelWithSettings([&](AppConfig& config) {
        config.minLargeSizeBytes = 0;
        adjust(config);
    });
    w = std::make_unique<WindowUnderTest>(*vm);
    w->window->resize(size);
}

FitWindow::FitWindow(QSize size, UILanguage language)
    : FitWindow(size, [language](AppConfig& config) { config.uiLanguage = language; })
{}

bool FitWindow::start()
{
    if (!w->showAndList(w->window->size()))
        return false;
    ui::settleLayouts(*w->window);
    return true;
}

bool FitWindow::enter(FitState state)
{
    if (state == FitState::longFolder) {
        vm->navigation().navigate(fx.tree.path(longFolderName()), true);
        if (!waitUntilIdle(*vm))
            return false;
    }
    ui::settleLayouts(*w->window);
    return true;
}

bool FitWindow::saveAs(const QString& name) const
{
    return !saveScreen(w->window->grab().toImage(), name).isEmpty();
}

QScrollArea* FitWindow::column() const
{
    return w->window->findChild<QScrollArea*>(QStringLiteral("sidebarScroll"));
}

QListView* FitWindow::list() const
{
    return w->window->findChild<QListView*>(QStringLiteral("directoryList"));
}

} // namespace orvalink::test
