#include "support/TmpfsMount.h"

#include <QDir>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace orvalink::test {

TmpfsMount::TmpfsMount(QString mountPoint, qint64 sizeBytes, const QByteArray& extraOptions)
    : m_mountPoint(std::move(mountPoint))
{
    if (::geteuid() != 0) {
        m_skipReason = QStringLiteral("mounting a tmpfs needs root");
        return;
    }
    QDir().mkpath(m_mountPoint);
    QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0755";
    if (!extraOptions.isEmpty())
        options += ',' + extraOptions;
    if (::mount("tmpfs", m_mountPoint.toLocal8Bit().constData(), "tmpfs", 0, options.constData()) != 0) {
        m_skipReason =
            QStringLiteral("cannot mount a tmpfs here: ") + QString::fromUtf8(std::strerror(errno));
        return;
    }
    m_mounted = true;
}

TmpfsMount::~TmpfsMount()
{
    if (m_mounted)
        ::umount2(m_mountPoint.toLocal8Bit().constData(), MNT_DETACH);
}

} // namespace orvalink::test
