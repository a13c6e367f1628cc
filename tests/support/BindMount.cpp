#include "support/BindMount.h"

#include "support/MountNamespace.h"

#include <QDir>
#include <QFile>
#include <sys/mount.h>

namespace orvalink::test {

BindMount::BindMount(const QString& from, const QString& at, bool recursive) : m_at(at)
{
    QDir().mkpath(at);
    m_mounted =
        mounts::mount(QFile::encodeName(from), at, nullptr, recursive ? MS_BIND | MS_REC : MS_BIND) == 0;
}

BindMount::~BindMount()
{
    if (m_mounted)
        mounts::unmount(m_at);
}

std::optional<QString> BindMount::skipReason() const
{
    if (m_mounted)
        return std::nullopt;
    return mounts::skipReason().value_or(QStringLiteral("cannot bind-mount ") + m_at);
}

} // namespace orvalink::test
