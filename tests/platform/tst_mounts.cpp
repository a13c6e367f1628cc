#include "platform/BlockDevice.h"
#include "platform/MountTable.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"

#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

dev_t deviceOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_dev;
}

// A block device node in a test folder; none where device nodes cannot be made.
std::optional<QString> makeBlockNode(const QString& path, dev_t device)
{
    if (::mknod(QFile::encodeName(path).constData(), S_IFBLK | 0600, device) != 0)
        return std::nullopt;
    return path;
}

} // namespace

class MountsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parsesMountInfo()
    {
        const QByteArray text =
            "22 1 0:21 / /proc rw,relatime - proc proc rw\n"
            "36 35 98:0 /mnt1 /mnt/with\\040space rw,noatime master:1 shared:7 - ext3 /dev/root rw\n"
            "garbage line\n"
            "37 1 8:17 / /media/u/Back\\134up rw - vfat /dev/sdb1 rw\n"
            "38 1 0:44 / /media/u/Back\\134up rw - tmpfs tmpfs rw\n";
        const MountTable table = MountTable::parse(text);
        QCOMPARE(table.entries().size(), size_t(4));
        const MountEntry& spaced = table.entries()[1];
        QCOMPARE(spaced.mountId, 36);
        QCOMPARE(spaced.parentId, 35);
        QCOMPARE(spaced.device, makedev(98, 0));
        QCOMPARE(spaced.root, QStringLiteral("/mnt1"));
        QCOMPARE(spaced.mountPoint, QStringLiteral("/mnt/with space"));
        QCOMPARE(spaced.fileSystemType, QStringLiteral("ext3"));
        QCOMPARE(spaced.source, QStringLiteral("/dev/root"));
        // Stacked mounts: the later one is on top.
        QCOMPARE(table.entryAt("/media/u/Back\\up")->fileSystemType, QStringLiteral("tmpfs"));
        QVERIFY(!table.entryAt("/media/u"));
    }

    void onlyARealMountCounts()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        test::TmpfsMount mount(home.path("Volumes/Disk"), 8 * 1024 * 1024);
        if (!mount.isValid())
            QSKIP(qPrintable(mount.skipReason()));
        tree.dir("Volumes/Stale");
        tree.dir("Volumes/Disk/inside");
        tree.symlink("Volumes/Alias", home.path("Volumes/Disk"));

        const MountTable table = MountTable::current();
        const auto mounted = table.mountedAt(home.path("Volumes/Disk"));
        QVERIFY(mounted);
        QCOMPARE(mounted->fileSystemType, QStringLiteral("tmpfs"));
        QCOMPARE(mounted->device, deviceOf(home.path("Volumes/Disk")));
        QCOMPARE(blockDeviceOf(*mounted), mounted->device);
        // Written with redundant separators it is the same place.
        QVERIFY(table.mountedAt(home.path("Volumes//Disk/")));
        QVERIFY(!table.mountedAt(home.path("Volumes/Stale")));
        QVERIFY(!table.mountedAt(home.path("Volumes/Disk/inside")));
        QVERIFY(!table.mountedAt(home.path("Volumes/Alias")));
        QVERIFY(!table.mountedAt(home.path("Volumes/Missing")));
    }

    // A file system mounted over a folder of a path, or stacked on the mount the path led into,
    // takes the path along, with whatever lay below it; a path beside it stays where it was.
    void theMountAPathLeadsInto()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        test::TmpfsMount disk(home.path("Volumes/Disk"), 8 * 1024 * 1024);
        if (!disk.isValid())
            QSKIP(qPrintable(disk.skipReason()));
        tree.dir("Volumes/Disk/Store/deep");
        tree.dir("Volumes/Disk/Other");
        tree.symlink("Volumes/Disk/Other/to-store", home.path("Volumes/Disk/Store"));
        const QString diskPoint = QFileInfo(disk.mountPoint()).canonicalFilePath();
        const QString deep = home.path("Volumes/Disk/Store/deep/missing/more");
        const auto mountPointOf = [](const QString& path) {
            const std::optional<MountEntry> mount = MountTable::current().covering(path);
            return mount ? mount->mountPoint : QString();
        };
        QCOMPARE(mountPointOf(deep), diskPoint);

        test::TmpfsMount store(home.path("Volumes/Disk/Store"), 1024 * 1024);
        QVERIFY(store.isValid());
        QCOMPARE(mountPointOf(deep), diskPoint + "/Store");
        QCOMPARE(mountPointOf(home.path("Volumes/Disk/Other/missing")), diskPoint);
        // A link at the end is the link, where it lies.
        QCOMPARE(mountPointOf(home.path("Volumes/Disk/Other/to-store")), diskPoint);
        QVERIFY(mountPointOf(home.path("Volumes")) != diskPoint);

        test::TmpfsMount stacked(home.path("Volumes/Disk"), 1024 * 1024);
        QVERIFY(stacked.isValid());
        const std::optional<MountEntry> top = MountTable::current().covering(deep);
        QVERIFY(top);
        QCOMPARE(top->mountPoint, diskPoint);
        QCOMPARE(top->device, deviceOf(home.path("Volumes/Disk")));
    }

    void blockDeviceOfASourceNode()
    {
        test::TestHome home;
        const auto node = makeBlockNode(home.path("sdz1"), makedev(259, 7));
        if (!node)
            QSKIP("cannot make device nodes here (needs root)");
        MountEntry entry;
        entry.device = makedev(0, 52); // what btrfs reports
        entry.source = *node;
        QCOMPARE(blockDeviceOf(entry), makedev(259, 7));
        entry.source = QStringLiteral("tmpfs");
        QCOMPARE(blockDeviceOf(entry), makedev(0, 52));
    }

    void uuidFromLinksThenUdev()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        DeviceDirectories dirs{tree.dir("by-uuid"), tree.dir("udev"), tree.dir("sys/dev/block")};
        const dev_t disk = makedev(8, 17);
        const auto node = makeBlockNode(home.path("sdb1"), disk);
        const auto other = makeBlockNode(home.path("sdc1"), makedev(8, 33));
        if (!node || !other)
            QSKIP("cannot make device nodes here (needs root)");
        tree.symlink("by-uuid/1111-AAAA", *other);
        tree.symlink("by-uuid/broken", home.path("nowhere"));
        tree.file("udev/b8:17", "S:disk/by-id/usb-x\nE:ID_FS_TYPE=vfat\nE:ID_FS_UUID=FROM-UDEV\n");
        QCOMPARE(fileSystemUuid(disk, dirs), QStringLiteral("FROM-UDEV"));

        tree.symlink("by-uuid/2222-BBBB", *node);
        QCOMPARE(fileSystemUuid(disk, dirs), QStringLiteral("2222-BBBB"));
        QCOMPARE(fileSystemUuid(makedev(0, 44), dirs), std::nullopt);
    }

    void deviceKindFromSysfs_data()
    {
        QTest::addColumn<QString>("disk"); // below sys/devices
        QTest::addColumn<QString>("partition");
        QTest::addColumn<QByteArray>("removableFlag");
        QTest::addColumn<bool>("known");
        QTest::addColumn<bool>("removable");
        QTest::newRow("sata partition") << "pci0000:00/ata1/host0/block/sda"
                                        << "sda2" << QByteArray("0") << true << false;
        QTest::newRow("usb partition") << "pci0000:00/usb2/2-1/host6/block/sdb"
                                       << "sdb1" << QByteArray("0") << true << true;
        QTest::newRow("flagged whole disk") << "pci0000:00/ata2/host1/block/sdc"
                                            << "" << QByteArray("1") << true << true;
        QTest::newRow("sd card") << "platform/mmc_host/mmc0/mmc0:0001/block/mmcblk0"
                                 << "mmcblk0p1" << QByteArray("0") << true << true;
        QTest::newRow("loop device") << "virtual/block/loop0"
                                     << "" << QByteArray("0") << false << false;
    }
    void deviceKindFromSysfs()
    {
        QFETCH(QString, disk);
        QFETCH(QString, partition);
        QFETCH(QByteArray, removableFlag);
        QFETCH(bool, known);
        QFETCH(bool, removable);
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file("sys/devices/" + disk + "/removable", removableFlag + "\n");
        QString device = disk;
        if (!partition.isEmpty()) {
            device += "/" + partition;
            tree.file("sys/devices/" + device + "/partition", "1\n");
        }
        tree.symlink("sys/dev/block/8:1", "../../devices/" + device);
        const DeviceDirectories dirs{home.path("none"), home.path("none"), home.path("sys/dev/block")};

        const auto kind = deviceKind(makedev(8, 1), dirs);
        QCOMPARE(kind.has_value(), known);
        if (known) {
            QCOMPARE(kind->isRemovable, removable);
            QCOMPARE(kind->isInternal, !removable);
        }
        QVERIFY(!deviceKind(makedev(8, 2), dirs));
    }

    void mappedDeviceTakesAfterItsDisk()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file("sys/devices/pci0000:00/usb1/1-2/host3/block/sdd/removable", "0\n");
        tree.file("sys/devices/pci0000:00/usb1/1-2/host3/block/sdd/sdd1/partition", "1\n");
        tree.dir("sys/devices/virtual/block/dm-0/slaves");
        tree.symlink("sys/devices/virtual/block/dm-0/slaves/sdd1",
                     "../../../../pci0000:00/usb1/1-2/host3/block/sdd/sdd1");
        tree.symlink("sys/dev/block/254:0", "../../devices/virtual/block/dm-0");
        const DeviceDirectories dirs{home.path("none"), home.path("none"), home.path("sys/dev/block")};
        const auto kind = deviceKind(makedev(254, 0), dirs);
        QVERIFY(kind);
        QVERIFY(kind->isRemovable);
        QVERIFY(!kind->isInternal);
    }
};

QTEST_GUILESS_MAIN(MountsTest)
#include "tst_mounts.moc"
