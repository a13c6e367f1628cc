#include "support/TreeSnapshot.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

QString kindOf(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFDIR:
        return QStringLiteral("dir");
    case S_IFREG:
        return QStringLiteral("file");
    case S_IFLNK:
        return QStringLiteral("link");
    case S_IFIFO:
        return QStringLiteral("fifo");
    default:
        return QStringLiteral("other");
    }
}

QString contentOf(const QString& path, const struct stat& info)
{
    if (S_ISLNK(info.st_mode)) {
        QByteArray text(info.st_size + 1, '\0');
        const ssize_t length = ::readlink(QFile::encodeName(path).constData(), text.data(), text.size());
        return QString::fromUtf8(text.left(qMax<ssize_t>(length, 0)));
    }
    if (!S_ISREG(info.st_mode))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unreadable");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::number(info.st_size) + QLatin1Char(':') +
           QString::fromLatin1(hash.result().toHex().left(16));
}

} // namespace

QStringList snapshotTree(const QString& root)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> paths{fs::path(root.toStdString())};
    std::error_code error;
    struct stat rootInfo {};
    if (::lstat(QFile::encodeName(root).constData(), &rootInfo) == 0 && S_ISDIR(rootInfo.st_mode)) {
        for (fs::recursive_directory_iterator it(paths.front(), error), end; !error && it != end;
             it.increment(error))
            paths.push_back(it->path());
    }
    QStringList lines;
    QHash<ino_t, QString> firstOfGroup;
    std::sort(paths.begin() + 1, paths.end());
    for (const fs::path& path : paths) {
        const QString full = QString::fromStdString(path.string());
        const QString relative = full.mid(root.size());
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            lines << relative + QStringLiteral(" missing");
            continue;
        }
        QString group;
        if (!S_ISDIR(info.st_mode) && info.st_nlink > 1) {
            group = firstOfGroup.value(info.st_ino, relative);
            firstOfGroup.insert(info.st_ino, group);
            group = QStringLiteral(" linked-with=") + group;
        }
        lines << QStringLiteral("%1 %2 %3 %4:%5 mtime=%6.%7 %8%9")
                     .arg(relative, kindOf(info.st_mode), QString::number(info.st_mode & 07777, 8))
                     .arg(info.st_uid)
                     .arg(info.st_gid)
                     .arg(info.st_mtim.tv_sec)
                     .arg(info.st_mtim.tv_nsec, 9, 10, QLatin1Char('0'))
                     .arg(contentOf(full, info), group);
    }
    if (error)
        lines << QStringLiteral("walk failed: ") + QString::fromStdString(error.message());
    return lines;
}

QStringList snapshotContents(const QString& root)
{
    static const QRegularExpression directoryTime(QStringLiteral("^(.* dir \\S+ \\S+) mtime=\\S+"));
    QStringList lines = snapshotTree(root);
    for (QString& line : lines)
        line.replace(directoryTime, QStringLiteral("\\1"));
    return lines;
}

void stampDistinctTimes(const QString& root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    std::sort(paths.begin(), paths.end(), std::greater<>());
    paths << root;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const struct timespec times[2] = {{1500000000 + i, 111111111},
                                          {1300000000 + i * 7, long(123456789 + i)}};
        ::utimensat(AT_FDCWD, QFile::encodeName(paths[i]).constData(), times, AT_SYMLINK_NOFOLLOW);
    }
}

} // namespace orvalink::test
