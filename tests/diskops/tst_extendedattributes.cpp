// Extended attributes and POSIX ACLs of a migrated tree: kept through a migration to another file
// system and its undo; a volume that cannot keep them takes no folder that has them.
#include "EngineFixture.h"
#include "diskops/UndoService.h"
#include "platform/FileIO.h"
#include "support/MountNamespace.h"
#include "support/SkipWithout.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QFileInfo>
#include <QMap>
#include <QTest>
#include <optional>
#include <sys/mount.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace orvalink;
using test::EngineFixture;

namespace {

using Attributes = QMap<QByteArray, QByteArray>;

// An ACL in the kernel's extended-attribute form: version 2, then (tag, permissions, id) entries in
// tag order.
QByteArray aclValue(const QList<std::array<quint32, 3>>& entries)
{
    QByteArray value;
    const auto put = [&value](quint32 number, int bytes) {
        for (int i = 0; i < bytes; ++i)
            value.append(char((number >> (8 * i)) & 0xff));
    };
    put(2, 4);
    for (const auto& [tag, permissions, id] : entries) {
        put(tag, 2);
        put(permissions, 2);
        put(id, 4);
    }
    return value;
}

constexpr quint32 kUndefinedId = 0xffffffff;
// USER_OBJ rw-, USER <another> rw-, GROUP_OBJ r--, MASK rw-, OTHER r--. Root names user 1000; a
// regular user, in the tests' mount namespace where only its own id is mapped, names itself.
const QByteArray kAccessAcl = aclValue({{0x01, 6, kUndefinedId},
                                        {0x02, 6, ::geteuid() == 0 ? 1000 : quint32(::geteuid())},
                                        {0x04, 4, kUndefinedId},
                                        {0x10, 6, kUndefinedId},
                                        {0x20, 4, kUndefinedId}});
// USER_OBJ rwx, GROUP_OBJ r-x, OTHER ---
const QByteArray kDefaultAcl =
    aclValue({{0x01, 7, kUndefinedId}, {0x04, 5, kUndefinedId}, {0x20, 0, kUndefinedId}});

void setAttribute(const QString& path, const char* name, const QByteArray& value)
{
    if (::lsetxattr(QFile::encodeName(path).constData(), name, value.constData(), size_t(value.size()), 0) !=
        0)
        qFatal("cannot set %s on %s: %s", name, qPrintable(path), strerror(errno));
}

Attributes attributesOf(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    QByteArray names(4096, '\0');
    const ssize_t length = ::llistxattr(native.constData(), names.data(), size_t(names.size()));
    Attributes found;
    for (const QByteArray& name : names.left(qMax<ssize_t>(length, 0)).split('\0')) {
        if (name.isEmpty())
            continue;
        QByteArray value(4096, '\0');
        const ssize_t size =
            ::lgetxattr(native.constData(), name.constData(), value.data(), size_t(value.size()));
        found.insert(name, value.left(qMax<ssize_t>(size, 0)));
    }
    return found;
}

// Every entry's attributes, by path below `root`.
QMap<QString, Attributes> attributesBelow(const QString& root, const QStringList& relatives)
{
    QMap<QString, Attributes> all;
    for (const QString& relative : relatives)
        all.insert(relative, attributesOf(relative.isEmpty() ? root : root + QLatin1Char('/') + relative));
    return all;
}

// A file system without extended attributes mounted over the volume, as vfat would be.
class RefusingVolume {
public:
    explicit RefusingVolume(const QString& at) : m_at(at)
    {
        m_mounted = test::mounts::mount("ramfs", at, "ramfs", 0, "mode=0755") == 0;
    }
    ~RefusingVolume()
    {
        if (m_mounted)
            test::mounts::unmount(m_at);
    }
    bool isValid() const { return m_mounted; }

private:
    QString m_at;
    bool m_mounted = false;
};

} // namespace

class ExtendedAttributesTest : public QObject {
    Q_OBJECT

private:
    // A tree whose files and folders carry user attributes, an ACL, a default ACL and, as root, a
    // trusted attribute; answers the paths that carry them, relative to the tree.
    QStringList decorate(test::TestTree& tree)
    {
        tree.file("notes/report.txt", "report");
        tree.file("notes/shared.txt", "shared");
        tree.fileOfSize("notes/big.bin", 256 * 1024);
        tree.symlink("notes/link", "report.txt");
        setAttribute(tree.path("notes/report.txt"), "user.xdg.comment", "quarterly figures");
        setAttribute(tree.path("notes/big.bin"), "user.xdg.origin.url", "https://example.invalid/big.bin");
        setAttribute(tree.path("notes/shared.txt"), "system.posix_acl_access", kAccessAcl);
        setAttribute(tree.path("notes"), "user.tag", "blue");
        setAttribute(tree.path("notes"), "system.posix_acl_default", kDefaultAcl);
        if (::geteuid() == 0)
            setAttribute(tree.root(), "trusted.note", "kept as root");
        return {"", "notes", "notes/report.txt", "notes/shared.txt", "notes/big.bin", "notes/link"};
    }

private Q_SLOTS:
    void attributesSurviveMigrationAndUndo()
    {
        EngineFixture fx;
        if (const auto reason = fx.skipReason())
            QSKIP(qPrintable(*reason));
        test::TestTree tree(fx.tree.path("Docs"));
        const QStringList carriers = decorate(tree);
        const QMap<QString, Attributes> before = attributesBelow(tree.root(), carriers);
        QCOMPARE(before.value("notes/shared.txt").value("system.posix_acl_access"), kAccessAcl);
        const QStringList snapshot = test::snapshotTree(tree.root());

        const auto migrated = fx.migrate(tree.root());
        QVERIFY2(migrated.task.status == TaskStatus::completed, qPrintable(test::describe(migrated)));
        const QString target = fx.targetOf(tree.root());
        QCOMPARE(attributesBelow(target, carriers), before);
        QCOMPARE(test::snapshotTree(target), snapshot);

        fx.undoNewest("user");
        QCOMPARE(attributesBelow(tree.root(), carriers), before);
        QCOMPARE(test::snapshotTree(tree.root()), snapshot);
        for (const LogEntry& entry : fx.logEntries())
            QVERIFY2(entry.level != LogLevel::warning, qPrintable(entry.message));
    }

    void volumeWithoutAttributesTakesOnlyFoldersThatNeedNone_data()
    {
        QTest::addColumn<QString>("volume"); // the kind of file system at the volume's place
        QTest::addColumn<QString>("carrier");
        QTest::addColumn<QByteArray>("attribute");
        QTest::addColumn<QString>("unkept");
        QTest::newRow("ramfs, a user attribute on a folder")
            << "ramfs"
            << "notes" << QByteArray("user.tag") << "extended attributes";
        QTest::newRow("ramfs, an ACL on a file")
            << "ramfs"
            << "notes/shared.txt" << QByteArray("system.posix_acl_access") << "access control lists";
        QTest::newRow("ramfs, no attribute anywhere") << "ramfs"
                                                      << "" << QByteArray() << "";
        // btrfs gives its files another device number than the mount table shows for the volume.
        QTest::newRow("btrfs without ACLs, an ACL on a file")
            << "btrfs without ACLs"
            << "notes/shared.txt" << QByteArray("system.posix_acl_access") << "access control lists";
        QTest::newRow("btrfs without ACLs, a user attribute on a folder")
            << "btrfs without ACLs"
            << "notes" << QByteArray("user.tag") << "";
        QTest::newRow("btrfs, an ACL on a file")
            << "btrfs"
            << "notes/shared.txt" << QByteArray("system.posix_acl_access") << "";
    }
    // What the volume cannot keep is found before anything moves: the answer names the file system,
    // what it cannot keep and the first entry that has it, and the source and the volume stay as
    // they were. A folder that needs none of it moves, with its attributes.
    void volumeWithoutAttributesTakesOnlyFoldersThatNeedNone()
    {
        QFETCH(QString, volume);
        QFETCH(QString, carrier);
        QFETCH(QByteArray, attribute);
        QFETCH(QString, unkept);
        const bool ramfs = volume == "ramfs";
        EngineFixture fx(ramfs                            ? EngineFixture::Volume::tmpfs
                         : volume == "btrfs without ACLs" ? EngineFixture::Volume::btrfsWithoutAcls
                                                          : EngineFixture::Volume::btrfs);
        SKIP_WITHOUT(fx);
        std::optional<RefusingVolume> refusing;
        if (ramfs && !refusing.emplace(fx.volumePath()).isValid())
            QSKIP("cannot mount a ramfs here");
        test::TestTree tree(fx.tree.path("Docs"));
        tree.file("notes/report.txt", "report");
        tree.file("notes/shared.txt", "shared");
        if (!attribute.isEmpty())
            setAttribute(tree.path(carrier), attribute.constData(),
                         attribute.startsWith("user.") ? QByteArray("blue") : kAccessAcl);
        const QStringList snapshot = test::snapshotTree(tree.root());
        const QStringList onVolume = test::snapshotTree(fx.volumePath());
        const QMap<QString, Attributes> before = attributesBelow(tree.root(), {"notes", "notes/shared.txt"});

        const auto migrated = fx.migrate(tree.root());

        const QString target = fx.targetOf(tree.root());
        if (unkept.isEmpty()) {
            QVERIFY2(migrated.task.status == TaskStatus::completed, qPrintable(test::describe(migrated)));
            QCOMPARE(test::snapshotTree(target), snapshot);
            QCOMPARE(attributesBelow(target, {"notes", "notes/shared.txt"}), before);
            return;
        }
        QCOMPARE(migrated.task.status, TaskStatus::failed);
        QCOMPARE(migrated.task.errorCode, QStringLiteral("E008"));
        QCOMPARE(*migrated.task.errorMessage, "Failed to move " + tree.root() + " to " + target +
                                                  ": the external disk's file system (" +
                                                  (ramfs ? "ramfs" : "btrfs") + ") cannot keep " + unkept +
                                                  ", first: " + tree.path(carrier) + ". Nothing was moved.");
        QVERIFY(migrated.failure && migrated.failure->shortfall());
        QCOMPARE(migrated.failure->shortfall()->entry, tree.path(carrier));
        QCOMPARE(test::snapshotTree(tree.root()), snapshot);
        QCOMPARE(test::snapshotTree(fx.volumePath()), onVolume);
        QVERIFY(fx.reservedSiblings(tree.root(), "staging").isEmpty());
        QVERIFY(fx.mappings().isEmpty());
    }

    // A volume that has no room left for an attribute does not refuse it: the copy failed, so the
    // migration rolls back and nothing of the source is deleted.
    void attributeThatDoesNotFitRollsTheMigrationBack()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        test::TestTree tree(fx.tree.path("Docs"));
        const QString file = tree.file("notes.txt", "notes");
        setAttribute(file, "user.large", QByteArray(3000, 'a'));
        const QStringList snapshot = test::snapshotTree(tree.root());
        const QMap<QString, Attributes> before = attributesBelow(tree.root(), {"notes.txt"});
        // Room for the volume's root, every folder down to the target and the file, and one more: a
        // thousand bytes for attributes, too few for this one.
        const QString below = fx.targetOf(tree.root()).mid(fx.volumePath().size());
        const qsizetype entries = 1 + below.count('/') + 1 + 1;
        test::TmpfsMount tight(fx.volumePath(), 64 * 1024 * 1024, "nr_inodes=" + QByteArray::number(entries));
        QVERIFY2(tight.isValid(), qPrintable(tight.skipReason()));
        const QString probe = fx.volumePath() + "/probe";
        QFile(probe).open(QIODevice::WriteOnly);
        if (::setxattr(QFile::encodeName(probe).constData(), "user.probe", "x", 1, 0) != 0)
            QSKIP("this kernel keeps no user attributes on tmpfs");
        QFile::remove(probe);

        const auto migrated = fx.migrate(tree.root());

        QVERIFY2(migrated.task.status == TaskStatus::rolledBack, qPrintable(test::describe(migrated)));
        QVERIFY2(migrated.task.errorMessage->contains("No space left on device"),
                 qPrintable(test::describe(migrated)));
        QCOMPARE(test::snapshotTree(tree.root()), snapshot);
        QCOMPARE(attributesBelow(tree.root(), {"notes.txt"}), before);
        QVERIFY(!QFileInfo::exists(fx.targetOf(tree.root())));
    }
};

QTEST_GUILESS_MAIN(ExtendedAttributesTest)
#include "tst_extendedattributes.moc"
