#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace orvalink {

// The desktop services the state object needs but must not link: the user interface implements
// them (QClipboard, QFileDialog, QDesktopServices), tests record what they are asked.

// The general clipboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's contents with plain text.
    virtual void setText(const QString& text) = 0;
};

// A window-modal panel that picks one existing folder.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Shows the panel with a button `prompt` and a line `message`, open at `startDirectory` (the
    // panel's own choice when empty); the chosen folder's path, or none when the user cancelled.
    // Never throws.
    virtual QCoro::Task<std::optional<QString>> chooseFolder(QString prompt, QString message,
                                                             QString startDirectory) = 0;
};

// Shows an item in a file manager window.
class FileRevealer {
public:
    virtual ~FileRevealer() = default;
    // `path` exists; the file manager opens the folder that holds it with the item selected. When
    // nothing could show it, `failed` runs on the main thread, at once or later.
    virtual void reveal(const QString& path, std::function<void()> failed) = 0;
};

// The desktop services of one window. A missing service makes its action do nothing.
struct PlatformHooks {
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<FolderChooser> folderChooser;
    std::shared_ptr<FileRevealer> fileRevealer;
    // Where the system keeps its applications, tried in order by the applications shortcut.
    QStringList applicationsDirectories = systemApplicationsDirectories();

    // The system applications folder of this platform.
    static QStringList systemApplicationsDirectories() { return {QStringLiteral("/usr/share/applications")}; }
};

} // namespace orvalink
