#include "support/ReadOnlyRemount.h"

#include "support/MountNamespace.h"

#include <sys/mount.h>
#include <utility>

namespace orvalink::test {

ReadOnlyRemount::ReadOnlyRemount(QString mountPoint) : m_mountPoint(std::move(mountPoint))
{
    m_valid = mounts::mount({}, m_mountPoint, nullptr, MS_REMOUNT | MS_RDONLY) == 0;
}

ReadOnlyRemount::~ReadOnlyRemount()
{
    if (m_valid)
        mounts::mount({}, m_mountPoint, nullptr, MS_REMOUNT);
}

} // namespace orvalink::test
