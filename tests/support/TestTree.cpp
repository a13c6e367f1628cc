#include "support/TestTree.h"

#include "platform/UniqueFd.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::test {

namespace {
void ensure(bool ok, const QString& what)
{
    if (!ok)
        throw std::runtime_error(("TestTree could not create " + what).toStdString());
}
} // namespace

TestTree::TestTree(QString root) : m_root(std::move(root))
{
    ensure(QDir().mkpath(m_root), m_root);
}

QString TestTree::path(const QString& relative) const
{
    return relative.isEmpty() ? m_root : m_root + QLatin1Char('/') + relative;
}

QString TestTree::dir(const QString& relative)
{
    const QString full = path(relative);
    ensure(QDir().mkpath(full), full);
    return full;
}

QString TestTree::file(const QString& relative, const QByteArray& content)
{
    const QString full = path(relative);
    ensure(QDir().mkpath(QFileInfo(full).path()), full);
    QFile out(full);
    ensure(out.open(QIODevice::WriteOnly | QIODevice::Truncate), full);
    ensure(out.write(content) == content.size(), full);
    return full;
}

QString TestTree::fileOfSize(const QString& relative, qint64 size)
{
    return file(relative, QByteArray(size, 'x'));
}

QString TestTree::sparseFile(const QString& relative, qint64 size)
{
    const QString full = file(relative);
    ensure(::truncate(full.toLocal8Bit().constData(), size) == 0, full);
    return full;
}

void TestTree::settle() const
{
    QDirIterator files(m_root, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const platform::UniqueFd fd(
            ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (fd.get() < 0 || ::fdatasync(fd.get()) != 0)
            throw std::runtime_error(("TestTree could not write back " + path).toStdString());
    }
}

QString TestTree::symlink(const QString& relative, const QString& target)
{
    const QString full = path(relative);
    ensure(QDir().mkpath(QFileInfo(full).path()), full);
    ensure(::symlink(target.toLocal8Bit().constData(), full.toLocal8Bit().constData()) == 0, full);
    return full;
}

QString TestTree::fifo(const QString& relative)
{
    const QString full = path(relative);
    ensure(QDir().mkpath(QFileInfo(full).path()), full);
    ensure(::mkfifo(full.toLocal8Bit().constData(), 0644) == 0, full);
    return full;
}

QString TestTree::hardLink(const QString& relative, const QString& existing)
{
    const QString full = path(relative);
    ensure(QDir().mkpath(QFileInfo(full).path()), full);
    ensure(::link(path(existing).toLocal8Bit().constData(), full.toLocal8Bit().constData()) == 0, full);
    return full;
}

QByteArray TestTree::read(const QString& relative) const
{
    QFile in(path(relative));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

} // namespace orvalink::test
