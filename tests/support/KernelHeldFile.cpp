#include "support/KernelHeldFile.h"

#include "support/SystemTool.h"

#include <QFile>
#include <QProcess>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/swap.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

// The first line of a tool's complaint.
QString firstLine(const QString& complaint)
{
    return complaint.trimmed().section(QLatin1Char('\n'), 0, 0);
}

} // namespace

const char* kernelHoldName(KernelHeldFile::Kind kind)
{
    return kind == KernelHeldFile::Kind::swap ? "swap file" : "loop device";
}

KernelHeldFile::KernelHeldFile(QString path, Kind kind) : m_path(std::move(path)), m_kind(kind)
{
    if (::geteuid() != 0) {
        m_skipReason = QStringLiteral("a %1 needs root").arg(QLatin1String(kernelHoldName(kind)));
        return;
    }
    const QString toolName = kind == Kind::swap ? QStringLiteral("mkswap") : QStringLiteral("losetup");
    const QString tool = findSystemTool(toolName);
    if (tool.isEmpty()) {
        m_skipReason = toolName + QStringLiteral(" is not installed");
        return;
    }
    if (kind == Kind::loopDevice) {
        if (!QFile::exists(QStringLiteral("/dev/loop-control"))) {
            m_skipReason = QStringLiteral("no loop devices here: /dev/loop-control is missing");
            return;
        }
        QProcess losetup;
        losetup.start(tool, {QStringLiteral("--find"), QStringLiteral("--show"), m_path});
        const bool attached = losetup.waitForFinished(60000) &&
                              losetup.exitStatus() == QProcess::NormalExit && losetup.exitCode() == 0;
        m_device = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
        if (!attached || !m_device.startsWith(QStringLiteral("/dev/loop"))) {
            m_skipReason = QStringLiteral("cannot attach a loop device here: ") +
                           firstLine(QString::fromLocal8Bit(losetup.readAllStandardError()));
            return;
        }
    } else {
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        if (const std::optional<QString> complaint = runSystemTool(tool, {m_path})) {
            m_skipReason = QStringLiteral("mkswap failed: ") + firstLine(*complaint);
            return;
        }
        // Turned off through this descriptor, which still leads to the file once it was renamed or
        // removed (the very fault a test may catch).
        m_swapFile.reset(::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC));
        if (!m_swapFile.isValid() || ::swapon(QFile::encodeName(m_path).constData(), 0) != 0) {
            m_skipReason =
                QStringLiteral("cannot turn a swap file on here (tmpfs and most containers refuse one): ") +
                QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
    }
    m_held = true;
}

KernelHeldFile::~KernelHeldFile()
{
    release();
}

std::optional<QString> KernelHeldFile::skipReason() const
{
    if (m_skipReason.isEmpty())
        return std::nullopt;
    return m_skipReason;
}

QString KernelHeldFile::holderName() const
{
    return m_kind == Kind::swap ? QStringLiteral("swap") : m_device.section(QLatin1Char('/'), -1);
}

bool KernelHeldFile::release()
{
    if (!m_held)
        return true;
    const bool released =
        m_kind == Kind::swap
            ? ::swapoff(QStringLiteral("/proc/self/fd/%1").arg(m_swapFile.get()).toLatin1().constData()) == 0
            : !runSystemTool(findSystemTool(QStringLiteral("losetup")), {QStringLiteral("-d"), m_device});
    m_held = !released;
    return released;
}

} // namespace orvalink::test
