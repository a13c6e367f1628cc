#include "support/Unprivileged.h"

#include "support/ChildProcess.h"

#include <QDirIterator>
#include <QFile>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::test {

std::optional<QString> Unprivileged::skipReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("needs root to drop to an unprivileged user (CI runs as root)");
    if (!::getpwnam("nobody"))
        return QStringLiteral("there is no user nobody");
    return std::nullopt;
}

std::optional<QByteArray> Unprivileged::run(const std::function<QByteArray()>& work)
{
    const ChildOutcome outcome = runInChild(
        [&](QByteArray& output) {
            output = work();
            return 0;
        },
        true);
    if (outcome.exitCode != 0)
        return std::nullopt;
    return outcome.output;
}

void Unprivileged::openUp(const QString& path)
{
    ::chmod(QFile::encodeName(path).constData(), 0755);
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0755);
}

} // namespace orvalink::test
