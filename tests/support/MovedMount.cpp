#include "support/MovedMount.h"

#include "support/MountNamespace.h"

#include <QDir>
#include <QFile>
#include <sys/mount.h>

namespace orvalink::test {

namespace {

bool moveMount(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QByteArray source = QFile::encodeName(from);
    if (mounts::mount(source, to, nullptr, MS_MOVE) == 0)
        return true;
    // A shared parent mount refuses MS_MOVE: mount it again there and take the old one away.
    return mounts::mount(source, to, nullptr, MS_BIND) == 0 && mounts::unmount(from) == 0;
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
    mounts::unmount(m_to);
}

} // namespace orvalink::test
