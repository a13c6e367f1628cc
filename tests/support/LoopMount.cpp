#include "support/LoopMount.h"

#include "support/MountNamespace.h"
#include "support/SystemTool.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

struct KindFacts {
    const char* mkfs;
    QStringList mkfsArguments;
    const char* type;
    const char* options; // mount(8) sets the loop device up to go away once the file system is unmounted
    const char* fuseDriver = nullptr; // mounts the kind instead of the kernel
};

KindFacts factsOf(LoopMount::Kind kind)
{
    switch (kind) {
    case LoopMount::Kind::wholeSecondsExt4:
        return {"mkfs.ext4",
                {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-I"), QStringLiteral("128")},
                "ext4",
                "loop"};
    case LoopMount::Kind::ext4:
        // Small images get 128-byte inodes unless told otherwise.
        return {"mkfs.ext4",
                {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-I"), QStringLiteral("256")},
                "ext4",
                "loop"};
    case LoopMount::Kind::vfat:
        // FAT has no owners or modes to give: "quiet" lets the copy's attempts to set them pass
        // instead of failing.
        return {"mkfs.vfat", {}, "vfat", "loop,quiet"};
    case LoopMount::Kind::exfatFuse:
        return {"mkfs.exfat", {}, "exfat", "", "mount.exfat-fuse"};
    case LoopMount::Kind::fatFuse:
        return {"mkfs.vfat", {}, "vfat", "", "fusefat"};
    case LoopMount::Kind::btrfs:
    case LoopMount::Kind::btrfsWithoutAcls:
        // Data and metadata mixed, so that a small image has room for both.
        return {"mkfs.btrfs",
                {QStringLiteral("-q"), QStringLiteral("-f"), QStringLiteral("--mixed")},
                "btrfs",
                kind == LoopMount::Kind::btrfs ? "loop" : "loop,noacl"};
    }
    return {};
}

} // namespace

const char* loopKindName(LoopMount::Kind kind)
{
    switch (kind) {
    case LoopMount::Kind::wholeSecondsExt4:
        return "ext4 with 128-byte inodes";
    case LoopMount::Kind::vfat:
        return "vfat";
    case LoopMount::Kind::ext4:
        return "ext4";
    case LoopMount::Kind::exfatFuse:
        return "exFAT through FUSE";
    case LoopMount::Kind::fatFuse:
        return "FAT through FUSE";
    case LoopMount::Kind::btrfs:
        return "btrfs";
    case LoopMount::Kind::btrfsWithoutAcls:
        return "btrfs without ACLs";
    }
    return "";
}

LoopMount::LoopMount(QString mountPoint, Kind kind, qint64 sizeBytes)
    : m_mountPoint(std::move(mountPoint)), m_kind(kind)
{
    const KindFacts facts = factsOf(kind);
    if (::geteuid() != 0) {
        m_skipReason = QStringLiteral("a loop-mounted %1 volume needs root").arg(QLatin1String(facts.type));
        return;
    }
    for (const char* tool : {facts.mkfs, facts.fuseDriver}) {
        if (tool && findSystemTool(QLatin1String(tool)).isEmpty()) {
            m_skipReason = QLatin1String(tool) + QStringLiteral(" is not installed");
            return;
        }
    }
    const QString mkfs = findSystemTool(QLatin1String(facts.mkfs));
    const QString image = m_imageFolder.filePath(QStringLiteral("volume.img"));
    QFile file(image);
    if (!m_imageFolder.isValid() || !file.open(QIODevice::WriteOnly) || !file.resize(sizeBytes)) {
        m_skipReason = QStringLiteral("no room for a volume image: ") + file.errorString();
        return;
    }
    file.close();
    std::optional<QString> complaint = runSystemTool(mkfs, facts.mkfsArguments + QStringList{image});
    if (!complaint) {
        QDir().mkpath(m_mountPoint);
        complaint = mountImage();
    }
    if (complaint) {
        m_skipReason =
            QStringLiteral("cannot loop-mount a %1 volume here: %2")
                .arg(QLatin1String(facts.type), complaint->trimmed().section(QLatin1Char('\n'), 0, 0));
        return;
    }
    m_mounted = true;
}

LoopMount::~LoopMount()
{
    if (m_mounted)
        mounts::unmount(m_mountPoint);
    // Detached once its FUSE driver lets go of it.
    if (!m_loopDevice.isEmpty())
        runSystemTool(findSystemTool(QStringLiteral("losetup")), {QStringLiteral("-d"), m_loopDevice});
}

std::optional<QString> LoopMount::skipReason() const
{
    if (m_mounted)
        return std::nullopt;
    return m_skipReason;
}

std::optional<QString> LoopMount::mountImage()
{
    const KindFacts facts = factsOf(m_kind);
    const QString image = m_imageFolder.filePath(QStringLiteral("volume.img"));
    if (m_kind == Kind::fatFuse)
        return runSystemTool(findSystemTool(QLatin1String(facts.fuseDriver)),
                             {QStringLiteral("-o"), QStringLiteral("rw+"), image, m_mountPoint});
    if (m_kind == Kind::exfatFuse) {
        // Run as root, the driver takes a block device only.
        QProcess losetup;
        losetup.start(findSystemTool(QStringLiteral("losetup")),
                      {QStringLiteral("-f"), QStringLiteral("--show"), image});
        if (!losetup.waitForFinished() || losetup.exitCode() != 0)
            return QStringLiteral("losetup: ") + QString::fromLocal8Bit(losetup.readAllStandardError());
        m_loopDevice = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
        return runSystemTool(findSystemTool(QLatin1String(facts.fuseDriver)), {m_loopDevice, m_mountPoint});
    }
    return runSystemTool(QStringLiteral("mount"),
                         {QStringLiteral("-o"), QLatin1String(facts.options), QStringLiteral("-t"),
                          QLatin1String(facts.type), image, m_mountPoint});
}

std::optional<QString> LoopMount::ageChangeTimes(time_t secondsAgo)
{
    if (!m_mounted || (m_kind != Kind::ext4 && m_kind != Kind::wholeSecondsExt4))
        return QStringLiteral("no ext4 volume is mounted at ") + m_mountPoint;
    const QString debugfs = findSystemTool(QStringLiteral("debugfs"));
    if (debugfs.isEmpty())
        return QStringLiteral("debugfs is not installed");
    const QByteArray changed = QByteArray::number(qint64(std::time(nullptr) - secondsAgo));
    QFile commands(m_imageFolder.filePath(QStringLiteral("age.debugfs")));
    if (!commands.open(QIODevice::WriteOnly))
        return commands.errorString();
    QDirIterator it(m_mountPoint, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray onVolume = QFile::encodeName(it.next().mid(m_mountPoint.size()));
        commands.write("set_inode_field \"" + onVolume + "\" ctime @" + changed + '\n');
    }
    commands.close();

    if (::umount2(QFile::encodeName(m_mountPoint).constData(), 0) != 0)
        return QStringLiteral("cannot unmount ") + m_mountPoint + QStringLiteral(": ") +
               QString::fromLocal8Bit(std::strerror(errno));
    m_mounted = false;
    std::optional<QString> complaint =
        runSystemTool(debugfs, {QStringLiteral("-w"), QStringLiteral("-f"), commands.fileName(),
                                m_imageFolder.filePath(QStringLiteral("volume.img"))});
    if (!complaint)
        complaint = mountImage();
    m_mounted = !complaint;
    return complaint;
}

} // namespace orvalink::test
