#include "support/BindMount.h"

#include "support/MountNamespace.h"

#include <QDir>
#include <QFile>
#include <sys/mount.h>

namespace orvalink::test {

BindMount::BindMount(const QString& from, const QString& at) : m_at(at)
{
    QDir().mkpath(at);
    m_mounted = mounts::mount(QFile::encodeName(from), at, nullptr, MS_BIND) == 0;
}

BindMount::~BindMount()
{
    if (m_mounted)
        mounts::unmount(m_at);
}

} // namespace orvalink::test
