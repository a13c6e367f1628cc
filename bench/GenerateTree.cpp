// Builds a reproducible tree for the size benchmark: DIRS directories hung at random under each
// other (depth about ten, like a home folder) and FILES files of mostly small sizes spread over them,
// a few of them hidden.
//
//   orvalink-bench-tree DIR [--files 200000] [--dirs 20000] [--seed 1]

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int usage()
{
    QTextStream(stderr) << "usage: orvalink-bench-tree DIR [--files N] [--dirs N] [--seed N]\n";
    return 2;
}

// Most files of a home folder are small; a few are large.
qint64 pickSize(QRandomGenerator& random)
{
    const quint32 roll = random.bounded(100u);
    if (roll < 60)
        return random.bounded(2048);
    if (roll < 95)
        return 2048 + random.bounded(14336);
    return 16384 + random.bounded(262144);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString root = args.takeFirst();
    int files = 200000;
    int dirs = 20000;
    quint32 seed = 1;
    while (args.size() >= 2) {
        const QString option = args.takeFirst();
        const int value = args.takeFirst().toInt();
        if (option == QLatin1String("--files"))
            files = value;
        else if (option == QLatin1String("--dirs"))
            dirs = value;
        else if (option == QLatin1String("--seed"))
            seed = quint32(value);
        else
            return usage();
    }
    if (!args.isEmpty() || files < 0 || dirs < 1)
        return usage();
    if (QFileInfo::exists(root) && !QDir(root).isEmpty()) {
        QTextStream(stderr) << root << " exists and is not empty\n";
        return 1;
    }

    QRandomGenerator random(seed);
    std::vector<QByteArray> paths{QFile::encodeName(QDir(root).absolutePath())};
    QDir().mkpath(QString::fromLocal8Bit(paths.front()));
    for (int i = 1; i < dirs; ++i) {
        const QByteArray& parent = paths[random.bounded(quint32(paths.size()))];
        QByteArray path = parent + (i % 37 == 0 ? "/.d" : "/d") + QByteArray::number(i);
        if (::mkdir(path.constData(), 0755) != 0) {
            QTextStream(stderr) << "cannot create " << path << "\n";
            return 1;
        }
        paths.push_back(std::move(path));
    }
    const QByteArray content(16384 + 262144, 'x');
    for (int i = 0; i < files; ++i) {
        const QByteArray& parent = paths[random.bounded(quint32(paths.size()))];
        const QByteArray path = parent + (i % 23 == 0 ? "/.f" : "/f") + QByteArray::number(i);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        const qint64 size = pickSize(random);
        if (fd < 0 || ::write(fd, content.constData(), size_t(size)) != size) {
            QTextStream(stderr) << "cannot write " << path << "\n";
            return 1;
        }
        ::close(fd);
    }
    QTextStream(stdout) << "created " << dirs << " directories and " << files << " files in " << root << "\n";
    return 0;
}
