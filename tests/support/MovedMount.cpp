#include "support/MovedMount.h"

#include <QDir>
#include <QFile>
#include <sys/mount.h>

namespace orvalink::test {

MovedMount::MovedMount(const QString& from, const QString& to) : m_to(to)
{
    QDir().mkpath(to);
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    m_moved = ::mount(source.constData(), target.constData(), nullptr, MS_MOVE, nullptr) == 0;
    // A shared parent mount refuses MS_MOVE: mount it again there and take the old one away.
    if (!m_moved && ::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr) == 0)
        m_moved = ::umount2(source.constData(), MNT_DETACH) == 0;
}

MovedMount::~MovedMount()
{
    if (m_moved)
        ::umount2(QFile::encodeName(m_to).constData(), MNT_DETACH);
}

} // namespace orvalink::test
