#include "diskops/VolumeService.h"
#include "platform/FileSystemName.h"
#include "platform/MountTable.h"
#include "platform/ProbeLeftovers.h"
#include "platform/VolumeProbe.h"
#include "support/LoopMount.h"
#include "support/MountNamespace.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace orvalink;

namespace {

constexpr qint64 kVolumeSize = 8 * 1024 * 1024;

dev_t deviceOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_dev;
}

QString deviceNumber(dev_t device)
{
    return QStringLiteral("%1:%2").arg(major(device)).arg(minor(device));
}

// What a probe found a volume cannot keep, in a few words.
QStringList unkeptBy(platform::VolumeProbe& probe)
{
    const platform::VolumeAbilities& can = probe.abilities();
    QStringList unkept;
    const std::pair<bool, const char*> facts[] = {
        {can.keepsModes, "modes"},
        {can.keepsOwners || ::geteuid() != 0, "owners"},
        {can.keepsSymbolicLinks, "links"},
        {can.keepsHardLinks, "hard links"},
        {can.keepsSpecialFiles, "FIFOs"},
        {can.keepsUserAttributes, "user attributes"},
        {can.keepsAccessControlLists, "ACLs"},
        {can.tellsCaseApart, "case"},
        {can.keepsAllNames, "names"},
    };
    for (const auto& [kept, what] : facts) {
        if (!kept)
            unkept.append(QLatin1String(what));
    }
    return unkept;
}

} // namespace

class VolumeServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void probeLearnsWhatTheVolumeKeeps_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("fileSystem");
        QTest::addColumn<QStringList>("unkept");
        QTest::addColumn<QStringList>("refusedNames");
        QTest::addColumn<QStringList>("keptNames");
        const QStringList fat{"modes",           "owners", "links", "hard links", "FIFOs",
                              "user attributes", "ACLs",   "case",  "names"};
        const QStringList windows{"a:b", "why?", "star*", "pipe|", "back\\slash", "quote\"", "<a>"};
        const QStringList plain{"plain name (2).txt", "~$lock,=[1]+;", "trailing."};
        const QStringList any = windows + plain + QStringList{"Café.txt", " leading", "\x01"};
        QTest::newRow("tmpfs") << "tmpfs"
                               << "tmpfs" << QStringList() << QStringList() << any;
        QTest::newRow("ramfs") << "ramfs"
                               << "ramfs" << QStringList{"user attributes", "ACLs"} << QStringList() << any;
        QTest::newRow("exFAT through FUSE") << "exfat"
                                            << "exFAT" << fat << windows << plain + QStringList{"Café.txt"};
        // This driver takes ASCII names only.
        QTest::newRow("FAT through FUSE") << "fat"
                                          << "FAT" << fat << windows + QStringList{"Café.txt"} << plain;
        // Its files report another device number than the mount table gives the volume.
        QTest::newRow("btrfs") << "btrfs"
                               << "btrfs" << QStringList() << QStringList() << any;
        QTest::newRow("btrfs without ACLs") << "btrfs without ACLs"
                                            << "btrfs" << QStringList{"ACLs"} << QStringList() << any;
    }
    // What a volume keeps is learnt by trying in a folder of it, which looks as it did afterwards.
    void probeLearnsWhatTheVolumeKeeps()
    {
        QFETCH(QString, kind);
        QFETCH(QString, fileSystem);
        QFETCH(QStringList, unkept);
        QFETCH(QStringList, refusedNames);
        QFETCH(QStringList, keptNames);
        test::TestHome home;
        const QString at = home.volumes() + QStringLiteral("/Disk");
        std::unique_ptr<test::TmpfsMount> tmpfs;
        std::unique_ptr<test::LoopMount> image;
        bool ramfs = false;
        if (kind == "tmpfs") {
            tmpfs = std::make_unique<test::TmpfsMount>(at);
            if (!tmpfs->isValid())
                QSKIP(qPrintable(tmpfs->skipReason()));
        } else if (kind == "ramfs") {
            QDir().mkpath(at);
            ramfs = test::mounts::mount("ramfs", at, "ramfs", 0, "mode=0755") == 0;
            if (!ramfs)
                QSKIP("cannot mount a ramfs here");
        } else {
            const std::pair<const char*, test::LoopMount::Kind> kinds[] = {
                {"exfat", test::LoopMount::Kind::exfatFuse},
                {"fat", test::LoopMount::Kind::fatFuse},
                {"btrfs", test::LoopMount::Kind::btrfs},
                {"btrfs without ACLs", test::LoopMount::Kind::btrfsWithoutAcls}};
            const auto found = std::find_if(std::begin(kinds), std::end(kinds),
                                            [&](const auto& each) { return kind == each.first; });
            image = std::make_unique<test::LoopMount>(at, found->second);
            if (const auto reason = image->skipReason())
                QSKIP(qPrintable(*reason));
        }
        test::TestTree(at).file("Store/kept.txt", "kept");
        const QStringList before = test::snapshotTree(at);
        {
            const platform::MountEntry volume = *platform::MountTable::current().mountedAt(at);
            platform::VolumeProbe probe(at + "/Store", volume);
            QVERIFY2(probe.isValid(), qPrintable(probe.untold().value_or("nothing could be tried")));
            QCOMPARE(probe.mount().mountId, volume.mountId);
            QCOMPARE(unkeptBy(probe), unkept);
            for (const QString& name : refusedNames)
                QVERIFY2(!probe.keepsName(name.toUtf8()), qPrintable(name));
            for (const QString& name : keptNames)
                QVERIFY2(probe.keepsName(name.toUtf8()), qPrintable(name));
            QCOMPARE(platform::fileSystemName(*platform::MountTable::current().mountedAt(at)), fileSystem);
        }
        QCOMPARE(test::snapshotTree(at), before);
        if (ramfs)
            test::mounts::unmount(at);
    }

    // A folder of the volume swapped for a link to a folder elsewhere: nothing is tried there.
    void probeTouchesNothingOffTheVolume()
    {
        test::TestHome home;
        const QString at = home.volumes() + QStringLiteral("/Disk");
        test::TmpfsMount volume(at);
        if (!volume.isValid())
            QSKIP(qPrintable(volume.skipReason()));
        test::TestTree outside(home.path("elsewhere"));
        outside.file("kept.txt", "kept");
        const QStringList before = test::snapshotTree(outside.root());
        test::TestTree(at).symlink("Store", outside.root());

        platform::VolumeProbe probe(at + "/Store", *platform::MountTable::current().mountedAt(at));

        QVERIFY(!probe.isValid());
        QVERIFY(probe.untold() && probe.untold()->startsWith("it does not lie on the volume mounted at "));
        QCOMPARE(test::snapshotTree(outside.root()), before);
    }

    void probeClearsWhatAKilledProbeLeft_data()
    {
        QTest::addColumn<QString>("left");  // what the killed probe's folder holds
        QTest::addColumn<QString>("since"); // what the user did to the folder after the kill
        QTest::addColumn<bool>("cleared");
        QTest::newRow("all a probe makes") << "f h l p n n/o:o n/ORVALINK-CASE"
                                           << "" << true;
        QTest::newRow("an empty folder, killed as it began") << ""
                                                             << "" << true;
        QTest::newRow("the folder written to since") << "f n"
                                                     << "written" << true;
        QTest::newRow("the folder's times set to older ones since") << "f n"
                                                                    << "times set" << true;
        QTest::newRow("a file of somebody else's in it") << "f n data.txt"
                                                         << "" << false;
        QTest::newRow("data in a file a probe leaves empty") << "f! n"
                                                             << "" << false;
        QTest::newRow("a long name among the tried ones") << "f n n/not-a-tried-name.txt"
                                                          << "" << false;
    }
    // A probe killed while it tried a folder left its hidden folder there: the next probe in that
    // folder removes it, by its name and what it holds, and gives the folder back its times.
    void probeClearsWhatAKilledProbeLeft()
    {
        QFETCH(QString, left);
        QFETCH(QString, since);
        QFETCH(bool, cleared);
        const bool changedSince = !since.isEmpty();
        test::TestHome home;
        const QString at = home.volumes() + QStringLiteral("/Disk");
        test::TmpfsMount volume(at);
        if (!volume.isValid())
            QSKIP(qPrintable(volume.skipReason()));
        test::TestTree store(at + "/Store");
        store.file("kept.txt", "kept");
        const QByteArray folder = QFile::encodeName(store.root());
        const struct timespec old[2] = {{1000000000, 5}, {1000000000, 7}};
        QCOMPARE(::utimensat(AT_FDCWD, folder.constData(), old, 0), 0);
        struct stat before {};
        ::stat(folder.constData(), &before);
        const QStringList snapshot = test::snapshotTree(store.root());
        // As a probe makes them: its folder first, named after the times the folder had.
        test::TestTree killed(store.path(QString::fromLatin1(platform::probeFolderName(before))));
        killed.dir(".");
        for (const QString& entry : left.split(' ', Qt::SkipEmptyParts)) {
            if (entry == "l")
                killed.symlink("l", "f");
            else if (entry == "p")
                killed.fifo("p");
            else if (entry == "n")
                killed.dir("n");
            else if (entry == "h")
                killed.hardLink("h", "f");
            else if (entry.endsWith('!'))
                killed.file(entry.chopped(1), "data");
            else
                killed.file(entry, "");
        }
        if (changedSince) {
            // Well after the kill: once the clock has passed any tick that could blur the two moments.
            struct stat probed {};
            ::stat(QFile::encodeName(killed.root()).constData(), &probed);
            const auto secondsSinceProbed = [&probed] {
                timespec now{};
                ::clock_gettime(CLOCK_REALTIME, &now);
                return double(now.tv_sec - probed.st_ctim.tv_sec) +
                       (now.tv_nsec - probed.st_ctim.tv_nsec) / 1e9;
            };
            QTRY_VERIFY(secondsSinceProbed() > 0.2);
            if (since == "written") {
                store.file("later.txt", "written after the kill");
                const struct timespec later[2] = {{std::time(nullptr) + 60, 11},
                                                  {std::time(nullptr) + 60, 13}};
                QCOMPARE(::utimensat(AT_FDCWD, folder.constData(), later, 0), 0);
            } else { // older times than the try found, which no write would give
                const struct timespec older[2] = {{900000000, 11}, {900000000, 13}};
                QCOMPARE(::utimensat(AT_FDCWD, folder.constData(), older, 0), 0);
            }
        }
        struct stat found {};
        ::stat(folder.constData(), &found);

        {
            platform::VolumeProbe probe(store.root(), *platform::MountTable::current().mountedAt(at));
            QVERIFY(probe.isValid());
        }

        struct stat after {};
        ::stat(folder.constData(), &after);
        QCOMPARE(QFileInfo::exists(killed.root()), !cleared);
        if (!cleared)
            return;
        const struct stat& expected = changedSince ? found : before;
        QCOMPARE(after.st_mtim.tv_sec, expected.st_mtim.tv_sec);
        QCOMPARE(after.st_mtim.tv_nsec, expected.st_mtim.tv_nsec);
        QCOMPARE(after.st_atim.tv_nsec, expected.st_atim.tv_nsec);
        if (!changedSince)
            QCOMPARE(test::snapshotTree(store.root()), snapshot);
    }

    void mountPointIsTextual_data()
    {
        QTest::addColumn<QString>("root"); // below the volumes directory, "~" for the home directory
        QTest::addColumn<QString>("expected");
        QTest::newRow("volume") << "V/Backup"
                                << "V/Backup";
        QTest::newRow("trailing slash") << "V/Backup/"
                                        << "V/Backup";
        QTest::newRow("dot dot") << "V/Backup/a/../b"
                                 << "V/Backup";
        QTest::newRow("deep") << "V//Backup/Moved/x"
                              << "V/Backup";
        QTest::newRow("climbing to another") << "V/Backup/../Other/x"
                                             << "V/Other";
        QTest::newRow("volumes itself") << "V"
                                        << "";
        QTest::newRow("volumes with slash") << "V/"
                                            << "";
        QTest::newRow("sibling sharing the prefix") << "V-not/Backup"
                                                    << "";
        QTest::newRow("home") << "~/Movies"
                              << "";
    }
    void mountPointIsTextual()
    {
        QFETCH(QString, root);
        QFETCH(QString, expected);
        test::TestHome home;
        auto expand = [&](QString text) {
            return text.replace(QLatin1String("V"), home.volumes()).replace(QLatin1String("~"), home.home());
        };
        QCOMPARE(VolumeService().mountPoint(expand(root)).value_or(QString()),
                 expected.isEmpty() ? QString() : expand(expected));
    }

    void volumesAreListedWithRealMountsOnly()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        test::TmpfsMount backup(home.volumes() + "/Backup", kVolumeSize);
        if (!backup.isValid())
            QSKIP(qPrintable(backup.skipReason()));
        test::TmpfsMount alpha(home.volumes() + "/alpha", 2 * kVolumeSize);
        QVERIFY(alpha.isValid());
        tree.dir("Volumes/Stale"); // left behind by a disk that is gone
        tree.dir("Volumes/.hidden");

        // Fake udev and sysfs records for the Backup tmpfs: an internal SATA disk with a UUID.
        const dev_t device = deviceOf(backup.mountPoint());
        tree.file("udev/b" + deviceNumber(device), "E:ID_FS_UUID=ABCD-1234\n");
        tree.file("sys/devices/pci0000:00/ata1/host0/block/sda/removable", "0\n");
        tree.file("sys/devices/pci0000:00/ata1/host0/block/sda/sda1/partition", "1\n");
        tree.symlink("sys/dev/block/" + deviceNumber(device),
                     "../../devices/pci0000:00/ata1/host0/block/sda/sda1");
        const VolumeService service({home.path("by-uuid"), home.path("udev"), home.path("sys/dev/block")});

        const QList<VolumeInfo> volumes = service.listVolumes();
        QCOMPARE(volumes.size(), 3);
        QCOMPARE(volumes[0].name, QStringLiteral("alpha"));
        QCOMPARE(volumes[1].name, QStringLiteral("Backup"));
        QCOMPARE(volumes[2].name, QStringLiteral("Stale"));

        const VolumeInfo& first = volumes[0];
        QCOMPARE(first.mountPath, home.volumes() + "/alpha");
        QVERIFY(first.isMounted);
        QCOMPARE(first.totalBytes, 2 * kVolumeSize);
        QCOMPARE(first.freeBytes, 2 * kVolumeSize);
        QCOMPARE(first.volumeUUID, QStringLiteral("unknown"));
        QVERIFY(first.isRemovable && !first.isInternal); // nothing known about it

        const VolumeInfo& second = volumes[1];
        QVERIFY(second.isMounted);
        QCOMPARE(second.totalBytes, kVolumeSize);
        QCOMPARE(second.volumeUUID, QStringLiteral("ABCD-1234"));
        QVERIFY(second.isInternal && !second.isRemovable);

        // A stale folder lies on the internal disk: it must not pass for a volume with room.
        const VolumeInfo& stale = volumes[2];
        QVERIFY(!stale.isMounted);
        QCOMPARE(stale.totalBytes, 0);
        QCOMPARE(stale.freeBytes, 0);
        QCOMPARE(stale.volumeUUID, QStringLiteral("unknown"));

        const QList<VolumeInfo> again = service.listVolumes();
        QCOMPARE(again.size(), 3);
        QVERIFY(again[1].id != volumes[1].id);
        QCOMPARE(again[1].mountPath, volumes[1].mountPath);
    }

    void roomAndIdentityOfATargetRoot()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        test::TmpfsMount backup(home.volumes() + "/Backup", kVolumeSize);
        if (!backup.isValid())
            QSKIP(qPrintable(backup.skipReason()));
        tree.dir("Volumes/Stale/Moved");
        tree.file("udev/b" + deviceNumber(deviceOf(backup.mountPoint())), "E:ID_FS_UUID=5678-EF\n");
        const VolumeService service({home.path("by-uuid"), home.path("udev"), home.path("sys")});

        const QString root = home.volumes() + "/Backup/Moved/./store/";
        QCOMPARE(service.availableBytes(root), kVolumeSize);
        tree.fileOfSize("Volumes/Backup/data", 1024 * 1024);
        QCOMPARE(service.availableBytes(root), kVolumeSize - 1024 * 1024);
        QCOMPARE(service.resolveVolumeUUID(root), QStringLiteral("5678-EF"));

        for (const QString& nowhere : {home.volumes() + "/Stale/Moved", home.volumes() + "/Missing/x",
                                       home.volumes(), home.home() + "/Movies"}) {
            QCOMPARE(service.availableBytes(nowhere), 0);
            QCOMPARE(service.resolveVolumeUUID(nowhere), QStringLiteral("unknown"));
        }
    }

    // A disk and its clone (or FAT serial numbers that collide) carry one UUID; a volume without a
    // readable UUID, mounted or not, never counts as carrying one.
    void volumesSharingAUUIDAreAllFound()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        test::TmpfsMount disk(home.volumes() + "/Disk", kVolumeSize);
        if (!disk.isValid())
            QSKIP(qPrintable(disk.skipReason()));
        test::TmpfsMount clone(home.volumes() + "/Disk 1", kVolumeSize);
        test::TmpfsMount other(home.volumes() + "/Other", kVolumeSize);
        test::TmpfsMount noUUID(home.volumes() + "/No UUID", kVolumeSize);
        QVERIFY(clone.isValid() && other.isValid() && noUUID.isValid());
        tree.dir("Volumes/Stale");
        tree.file("udev/b" + deviceNumber(deviceOf(disk.mountPoint())), "E:ID_FS_UUID=1234-ABCD\n");
        tree.file("udev/b" + deviceNumber(deviceOf(clone.mountPoint())), "E:ID_FS_UUID=1234-ABCD\n");
        tree.file("udev/b" + deviceNumber(deviceOf(other.mountPoint())), "E:ID_FS_UUID=9999-0000\n");
        const VolumeService service({home.path("by-uuid"), home.path("udev"), home.path("sys")});

        const QStringList twins{disk.mountPoint(), clone.mountPoint()};
        QCOMPARE(service.mountPathsWithUUID(" 1234-ABCD\n"), twins);
        QCOMPARE(service.mountPathsWithUUID("9999-0000"), QStringList{other.mountPoint()});
        for (const char* unknown : {"unknown", "UNKNOWN", "", " "})
            QVERIFY(service.mountPathsWithUUID(unknown).isEmpty());

        const std::optional<QString> shared = sharedVolumeUUIDProblem("1234-ABCD", twins);
        QCOMPARE(shared.value_or(QString()), "the volumes at " + disk.mountPoint() + " and " +
                                                 clone.mountPoint() +
                                                 " carry the same UUID 1234-ABCD, so which of them is the "
                                                 "migration's cannot be told");
        QVERIFY(sharedVolumeUUIDProblem("1234-ABCD", twins + QStringList{"/third"})
                    .value_or(QString())
                    .contains(disk.mountPoint() + ", " + clone.mountPoint() + " and /third carry"));
        QVERIFY(!sharedVolumeUUIDProblem("9999-0000", {other.mountPoint()}));
        QVERIFY(!sharedVolumeUUIDProblem("unknown", {}));
    }

    void usageOfAnyPath()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        test::TmpfsMount disk(home.path("elsewhere"), kVolumeSize);
        if (!disk.isValid())
            QSKIP(qPrintable(disk.skipReason()));
        tree.dir("elsewhere/inside");
        const auto usage = VolumeService().volumeUsage(home.path("elsewhere/x/../inside/"));
        QVERIFY(usage);
        QCOMPARE(*usage, (VolumeUsage{kVolumeSize, kVolumeSize}));
        QVERIFY(!VolumeService().volumeUsage(home.path("missing")));
    }

    void missingVolumesDirectoryListsNothing()
    {
        test::TestHome home;
        home.setEnv("ORVALINK_VOLUMES_DIR", home.path("no-such-dir"));
        QVERIFY(VolumeService().listVolumes().isEmpty());
    }

    void mountPathsByUUIDSkipUnknownIdentifiers()
    {
        const auto volume = [](const QString& name, const QString& uuid) {
            VolumeInfo info;
            info.name = name;
            info.mountPath = "/media/u/" + name;
            info.volumeUUID = uuid;
            return info;
        };
        const QHash<QString, QStringList> index =
            mountPathsByUUID({volume("A", "unknown"), volume("B", "UNKNOWN"), volume("C", "  \n"),
                              volume("D", " ID-1\n"), volume("E", "ID-1"), volume("F", "id-2")});
        QCOMPARE(index, (QHash<QString, QStringList>{{"ID-1", {"/media/u/D", "/media/u/E"}},
                                                     {"id-2", {"/media/u/F"}}}));
    }
};

QTEST_GUILESS_MAIN(VolumeServiceTest)
#include "tst_volumeservice.moc"
