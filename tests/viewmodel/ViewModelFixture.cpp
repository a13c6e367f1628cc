#include "ViewModelFixture.h"

#include "model/AppPaths.h"
#include "platform/UserLocations.h"
#include "store/ConfigStore.h"

#include <QNetworkProxy>
#include <QTest>

namespace orvalink::test {

QCoro::Task<std::optional<QString>> ScriptedFolderChooser::chooseFolder(QString prompt, QString message,
                                                                        QString startDirectory)
{
    asked.append({prompt, message});
    startDirectories.append(startDirectory);
    co_return answer;
}

ViewModelFixture::ViewModelFixture()
    : tree(home.home()), applicationsDirectory(home.path(QStringLiteral("usr/share/applications"))),
      network(std::make_unique<QNetworkAccessManager>())
{
    network->setProxy(QNetworkProxy::NoProxy);
}

AppConfig ViewModelFixture::baseConfig() const
{
    AppConfig config = AppConfig::defaults(platform::userName());
    config.unifiedTargetManagementEnabled = false;
    return config;
}

std::unique_ptr<MainViewModel>
ViewModelFixture::makeViewModelWithSettings(const std::function<void(AppConfig&)>& adjust)
{
    AppConfig config = baseConfig();
    config.uiLanguage = UILanguage::english;
    if (adjust)
        adjust(config);
    writeConfig(config);
    return makeViewModel();
}

QString ViewModelFixture::configPath() const
{
    return AppPaths::applicationSupportFile(QStringLiteral("config.json"));
}

void ViewModelFixture::writeConfig(const AppConfig& config) const
{
    ConfigStore(configPath()).save(config);
}

std::unique_ptr<MainViewModel>
ViewModelFixture::makeViewModel(const std::function<void(ViewModelServices&)>& adjust)
{
    ViewModelServices services = ViewModelServices::standard(network.get());
    if (adjust)
        adjust(services);
    PlatformHooks hooks;
    hooks.clipboard = clipboard;
    hooks.fileRevealer = revealer;
    hooks.folderChooser = chooser;
    hooks.applicationsDirectories = {home.path(QStringLiteral("Applications")), applicationsDirectory};
    auto viewModel = std::make_unique<MainViewModel>(std::move(services), std::move(hooks));
    // The history arrives from the background runner a moment after construction; tests start
    // from the state the window shows once it is there.
    if (!QTest::qWaitFor([&] { return !viewModel->persisted().isReloading(); }, 20000))
        qWarning("the history of a new state object was not loaded within 20 s");
    return viewModel;
}

bool waitUntilIdle(MainViewModel& viewModel)
{
    return QTest::qWaitFor(
        [&] { return !viewModel.browsing().isScanning() && !viewModel.browsing().isBackgroundScanning(); },
        20000);
}

QStringList shownNames(MainViewModel& viewModel)
{
    QStringList names;
    for (const DirectoryEntry& entry : viewModel.listing().sortedEntries())
        names.append(entry.name);
    return names;
}

namespace {

std::optional<QString> shownLine(MainViewModel& viewModel, const std::optional<BilingualText>& line)
{
    if (!line)
        return std::nullopt;
    return shown(viewModel, *line);
}

} // namespace

QString shown(MainViewModel& viewModel, const BilingualText& text)
{
    return viewModel.presentation().localized(text);
}

std::optional<QString> infoLine(MainViewModel& viewModel)
{
    return shownLine(viewModel, viewModel.activity().infoMessage());
}

std::optional<QString> errorLine(MainViewModel& viewModel)
{
    return shownLine(viewModel, viewModel.activity().errorMessage());
}

std::optional<QString> statusLine(MainViewModel& viewModel)
{
    return shownLine(viewModel, viewModel.accountState().backendStatusMessage());
}

} // namespace orvalink::test
