#include "support/MovedMount.h"

#include <QDir>
#include <QFile>
#include <sys/mount.h>

namespace orvalink::test {

namespace {

bool moveMount(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::mount(source.constData(), target.constData(), nullptr, MS_MOVE, nullptr) == 0)
        return true;
    // A shared parent mount refuses MS_MOVE: mount it again there and take the old one away.
    return ::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr) == 0 &&
           ::umount2(source.constData(), MNT_DETACH) == 0;
}

} // namespace

MovedMount::MovedMount(const QString& from, const QString& to, AtEnd atEnd)
    : m_from(from), m_to(to), m_atEnd(atEnd), m_moved(moveMount(from, to))
{}

MovedMount::~MovedMount()
{
    if (!m_moved)
        return;
    if (m_atEnd == AtEnd::moveBack && moveMount(m_to, m_from))
        return;
    ::umount2(QFile::encodeName(m_to).constData(), MNT_DETACH);
}

} // namespace orvalink::test
