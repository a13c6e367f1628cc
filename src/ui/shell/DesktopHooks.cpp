#include "ui/shell/DesktopHooks.h"

#include <QClipboard>
#include <QCoro/QCoroSignal>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QUrl>

namespace orvalink::ui {

Q_LOGGING_CATEGORY(lcDesktop, "orvalink.shell.desktop")

namespace {

class SystemClipboard : public Clipboard {
public:
    void setText(const QString& text) override { QGuiApplication::clipboard()->setText(text); }
};

class FolderPanel : public FolderChooser {
public:
    explicit FolderPanel(std::shared_ptr<QPointer<QWidget>> window) : m_window(std::move(window)) {}

    QCoro::Task<std::optional<QString>> chooseFolder(QString prompt, QString message,
                                                     QString startDirectory) override
    {
        QPointer<QFileDialog> dialog = new QFileDialog(*m_window);
        dialog->setObjectName(QStringLiteral("folderPanel"));
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setWindowTitle(message);
        dialog->setLabelText(QFileDialog::Accept, prompt);
        if (!startDirectory.isEmpty())
            dialog->setDirectory(startDirectory);
        dialog->open();
        const int result = co_await qCoro(dialog.data(), &QDialog::finished);
        if (!dialog)
            co_return std::nullopt;
        const QStringList chosen = dialog->selectedFiles();
        dialog->deleteLater();
        if (result != QDialog::Accepted || chosen.isEmpty())
            co_return std::nullopt;
        co_return chosen.first();
    }

private:
    std::shared_ptr<QPointer<QWidget>> m_window;
};

class FileManager : public FileRevealer {
public:
    void reveal(const QString& path, std::function<void()> failed) override
    {
        auto* process = new QProcess(qApp);
        const QString folder = QFileInfo(path).absolutePath();
        QObject::connect(process, &QProcess::finished, process,
                         [process, folder, failed](int code, QProcess::ExitStatus status) {
                             process->deleteLater();
                             if (status != QProcess::NormalExit || code != 0)
                                 openFolder(folder, process->readAllStandardError(), failed);
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, folder, failed](QProcess::ProcessError error) {
                             if (error != QProcess::FailedToStart)
                                 return;
                             process->deleteLater();
                             openFolder(folder, "gdbus could not be started", failed);
                         });
        process->start(QStringLiteral("gdbus"), DesktopHooks::showItemsArguments(path));
    }

private:
    static void openFolder(const QString& folder, const QByteArray& why, const std::function<void()>& failed)
    {
        qCInfo(lcDesktop) << "no file manager answered the reveal:" << why.trimmed()
                          << "- opening the folder";
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
            qCInfo(lcDesktop) << "nothing could open" << folder;
            if (failed)
                failed();
        }
    }
};

} // namespace

DesktopHooks::DesktopHooks() : m_window(std::make_shared<QPointer<QWidget>>()) {}

PlatformHooks DesktopHooks::platformHooks() const
{
    PlatformHooks hooks;
    hooks.clipboard = std::make_shared<SystemClipboard>();
    hooks.folderChooser = std::make_shared<FolderPanel>(m_window);
    hooks.fileRevealer = std::make_shared<FileManager>();
    return hooks;
}

void DesktopHooks::setWindow(QWidget* window)
{
    *m_window = window;
}

QStringList DesktopHooks::showItemsArguments(const QString& path)
{
    // A GVariant string literal: the URI is percent-encoded, and the two characters the literal
    // itself gives meaning to are encoded too.
    QString uri = QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
    uri.replace(QLatin1Char('\''), QStringLiteral("%27")).replace(QLatin1Char('\\'), QStringLiteral("%5C"));
    return {QStringLiteral("call"),
            QStringLiteral("--session"),
            QStringLiteral("--timeout"),
            QStringLiteral("5"),
            QStringLiteral("--dest"),
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("--object-path"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("--method"),
            QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
            QStringLiteral("['%1']").arg(uri),
            QStringLiteral("''")};
}

} // namespace orvalink::ui
