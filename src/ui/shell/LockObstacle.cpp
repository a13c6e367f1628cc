#include "ui/shell/LockObstacle.h"

#include "platform/TerminalText.h"
#include "platform/UserLocations.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::ui {

LockObstacle LockObstacle::at(const QString& path)
{
    LockObstacle obstacle;
    obstacle.path = path;
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        obstacle.kind = {"无法查看的项目", "an entry that cannot be examined"};
        obstacle.owner = QStringLiteral("?");
        obstacle.removal = QStringLiteral("rm -- ") + platform::shellWord(path);
        return obstacle;
    }
    const mode_t type = info.st_mode & S_IFMT;
    if (type == S_IFLNK)
        obstacle.kind = {"符号链接", "a symbolic link"};
    else if (type == S_IFDIR)
        obstacle.kind = {"文件夹", "a folder"};
    else if (type == S_IFIFO)
        obstacle.kind = {"命名管道（FIFO）", "a named pipe (FIFO)"};
    else if (type == S_IFSOCK)
        obstacle.kind = {"套接字", "a socket"};
    else if (type == S_IFCHR || type == S_IFBLK)
        obstacle.kind = {"设备文件", "a device file"};
    else if (info.st_uid != ::geteuid())
        obstacle.kind = {"另一个用户的文件", "a file of another user"};
    else
        obstacle.kind = {"无法打开的文件", "a file that cannot be opened"};
    obstacle.owner = platform::userNameOf(info.st_uid);
    const bool othersEntry = info.st_uid != ::geteuid() && ::geteuid() != 0;
    obstacle.removal = QString::fromLatin1(othersEntry ? "sudo " : "") +
                       QString::fromLatin1(type == S_IFDIR ? "rm -r -- " : "rm -- ") +
                       platform::shellWord(path);
    return obstacle;
}

} // namespace orvalink::ui
