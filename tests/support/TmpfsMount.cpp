#include "support/TmpfsMount.h"

#include "support/MountNamespace.h"

#include <QDir>
#include <cstring>

namespace orvalink::test {

TmpfsMount::TmpfsMount(QString mountPoint, qint64 sizeBytes, const QByteArray& extraOptions)
    : m_mountPoint(std::move(mountPoint))
{
    if (const auto refusal = mounts::skipReason()) {
        m_skipReason = *refusal;
        return;
    }
    QDir().mkpath(m_mountPoint);
    QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0755";
    if (!extraOptions.isEmpty())
        options += ',' + extraOptions;
    if (const int error = mounts::mount("tmpfs", m_mountPoint, "tmpfs", 0, options); error != 0) {
        m_skipReason =
            QStringLiteral("cannot mount a tmpfs here: ") + QString::fromUtf8(std::strerror(error));
        return;
    }
    m_mounted = true;
}

TmpfsMount::~TmpfsMount()
{
    if (m_mounted)
        mounts::unmount(m_mountPoint);
}

} // namespace orvalink::test
