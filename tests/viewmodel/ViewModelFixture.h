#pragma once

#include "model/AppConfig.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/browsing/Figures.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/launch/LaunchSequence.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/smart/SmartMigration.h"
#include "viewmodel/state/PlatformHooks.h"
#include "viewmodel/texts/Presentation.h"

#include <QNetworkAccessManager>
#include <QPair>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace orvalink::test {

class RecordingClipboard : public Clipboard {
public:
    void setText(const QString& text) override { texts.append(text); }
    QStringList texts;
};

// Records what it is asked to show and how to report a failure; while `fails` is set, reports at
// once that nothing could show it.
class RecordingRevealer : public FileRevealer {
public:
    void reveal(const QString& path, std::function<void()> failed) override
    {
        revealed.append(path);
        failures.append(failed);
        if (fails)
            failed();
    }
    QStringList revealed;
    QList<std::function<void()>> failures;
    bool fails = false;
};

// Answers every folder panel with `answer` (none: cancelled) and remembers what it was asked.
class ScriptedFolderChooser : public FolderChooser {
public:
    QCoro::Task<std::optional<QString>> chooseFolder(QString prompt, QString message,
                                                     QString startDirectory) override;
    std::optional<QString> answer;
    QList<QPair<QString, QString>> asked;
    // Where each panel was to open.
    QStringList startDirectories;
};

// One test's world for a MainViewModel: a temporary home with a tree below it, recording desktop
// services, an applications folder inside the home, and settings written before construction.
class ViewModelFixture {
public:
    ViewModelFixture();

    // The settings a fresh installation has in this home, with unified management off so that
    // construction does not rewrite them.
    AppConfig baseConfig() const;
    void writeConfig(const AppConfig& config) const;
    QString configPath() const;

    // A view model on the home's files, once it has published the history it read at construction;
    // `adjust` may change the services first.
    std::unique_ptr<MainViewModel> makeViewModel(const std::function<void(ViewModelServices&)>& adjust = {});
    // A view model on the base settings in English, after `adjust` changed them, written to the file.
    std::unique_ptr<MainViewModel>
    makeViewModelWithSettings(const std::function<void(AppConfig&)>& adjust = {});

    TestHome home;
    TestTree tree;
    QString applicationsDirectory;
    std::shared_ptr<RecordingClipboard> clipboard = std::make_shared<RecordingClipboard>();
    std::shared_ptr<RecordingRevealer> revealer = std::make_shared<RecordingRevealer>();
    std::shared_ptr<ScriptedFolderChooser> chooser = std::make_shared<ScriptedFolderChooser>();
    std::unique_ptr<QNetworkAccessManager> network;
};

// Runs the event loop until no listing, scan or size refresh is under way; false on time-out.
bool waitUntilIdle(MainViewModel& viewModel);

// The names of the shown entries, in order.
QStringList shownNames(MainViewModel& viewModel);

// A text of the state object as the window shows it, in the language in force.
QString shown(MainViewModel& viewModel, const BilingualText& text);

// The info and error lines and the account sheet's status line as the window shows them, in the
// language in force; none while the line is empty.
std::optional<QString> infoLine(MainViewModel& viewModel);
std::optional<QString> errorLine(MainViewModel& viewModel);
std::optional<QString> statusLine(MainViewModel& viewModel);

} // namespace orvalink::test
