#include "platform/AtomicFileWriter.h"
#include "platform/ComputerName.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "support/FailingFolder.h"
#include "support/FileModes.h"
#include "support/SkipWithout.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <cerrno>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::platform;
using orvalink::test::modeOf;
using orvalink::test::UmaskScope;
using orvalink::test::WriteFault;

Q_DECLARE_METATYPE(orvalink::test::WriteFault)

namespace {

// One entry of each kind a store's path may meet: "file" holding `content`, "link-to-file", "fifo",
// "link-to-fifo", "link-to-device" (/dev/zero, which never ends and swallows every write) and
// "folder".
void buildEntryKinds(test::TestTree& tree, const QByteArray& content)
{
    tree.file(QStringLiteral("file"), content);
    tree.symlink(QStringLiteral("link-to-file"), tree.path(QStringLiteral("file")));
    tree.fifo(QStringLiteral("fifo"));
    tree.symlink(QStringLiteral("link-to-fifo"), tree.path(QStringLiteral("fifo")));
    tree.symlink(QStringLiteral("link-to-device"), QStringLiteral("/dev/zero"));
    tree.dir(QStringLiteral("folder"));
}

// The regular files below `root`, links neither followed nor listed, with their content.
QMap<QString, QByteArray> filesBelow(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path.mid(root.size() + 1), readWholeFile(path));
    }
    return files;
}

// Makes a node of `kind` at `path`: "fifo", "device" (a character device of /dev/null's numbers,
// made here: never the system's own), "socket" or "folder". Answers why this test cannot have it;
// a call the kernel refuses otherwise throws, which fails the test.
std::optional<QString> makeNode(const QString& kind, const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("device") && ::geteuid() != 0)
        return QStringLiteral("only root makes a device node");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (kind == QLatin1String("socket") && size_t(name.size()) >= sizeof address.sun_path)
        return QStringLiteral("the socket's path is too long: ") + path;
    int result = 0;
    if (kind == QLatin1String("fifo")) {
        result = ::mkfifo(name.constData(), 0600);
    } else if (kind == QLatin1String("folder")) {
        result = ::mkdir(name.constData(), 0700);
    } else if (kind == QLatin1String("device")) {
        result = ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3));
    } else {
        std::copy(name.cbegin(), name.cend(), address.sun_path);
        // The socket file outlives the descriptor.
        const UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        result = socket.isValid()
                     ? ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address)
                     : -1;
    }
    if (result != 0)
        throw PlatformError::fromErrno(errno, path);
    return std::nullopt;
}

} // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void standardizedPath_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/a/b"
                               << "/a/b";
        QTest::newRow("trailing slash") << "/a/b/"
                                        << "/a/b";
        QTest::newRow("repeated slashes") << "//a///b//"
                                          << "/a/b";
        QTest::newRow("dot") << "/a/./b/."
                             << "/a/b";
        QTest::newRow("dot dot") << "/a/c/../b"
                                 << "/a/b";
        QTest::newRow("dot dot above root") << "/../../a"
                                            << "/a";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("root dot dot") << "/.."
                                      << "/";
        QTest::newRow("tilde kept") << "/~/x"
                                    << "/~/x";
        QTest::newRow("dots in names") << "/a/..b/.c"
                                       << "/a/..b/.c";
    }
    void standardizedPath()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(platform::standardizedPath(input), expected);
    }

    void parentPath_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nested") << "/a/b/c"
                                << "/a/b";
        QTest::newRow("root level") << "/a"
                                    << "/";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("trailing slash ends an empty component") << "/a/b/"
                                                                << "/a/b";
        QTest::newRow("taken as written") << "/a/../b"
                                          << "/a/..";
        QTest::newRow("no slash") << "name"
                                  << "/";
    }
    void parentPath()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(platform::parentPath(input), expected);
    }

    void relativePathIsTakenAgainstCurrentDirectory()
    {
        const QString current = QDir::currentPath();
        QCOMPARE(platform::standardizedPath(QStringLiteral("x/../y")), current + QStringLiteral("/y"));
        QCOMPARE(platform::standardizedPath(QStringLiteral("~")), current + QStringLiteral("/~"));
        QCOMPARE(platform::standardizedPath(QString()), current);
    }

    void descendantTest_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("ancestor");
        QTest::addColumn<bool>("expected");
        QTest::newRow("same") << "/a/b"
                              << "/a/b/" << true;
        QTest::newRow("below") << "/a/b/c"
                               << "/a/b" << true;
        QTest::newRow("sibling prefix") << "/a/bc"
                                        << "/a/b" << false;
        QTest::newRow("above") << "/a"
                               << "/a/b" << false;
        QTest::newRow("root ancestor") << "/x"
                                       << "/" << true;
    }
    void descendantTest()
    {
        QFETCH(QString, path);
        QFETCH(QString, ancestor);
        QFETCH(bool, expected);
        QCOMPARE(isSameOrDescendant(path, ancestor), expected);
    }

    void errorsCarryEnglishTextAndClassify()
    {
        qputenv("LANGUAGE", "de");
        const PlatformError denied = PlatformError::fromErrno(EACCES, QStringLiteral("/x"));
        QCOMPARE(denied.message(), QStringLiteral("Permission denied: /x"));
        QVERIFY(denied.isPermissionError());
        QVERIFY(!denied.isBusyError());
        const PlatformError wrapped(EIO, QStringLiteral("outer"), PlatformError::fromErrno(EPERM, QString()));
        QVERIFY(wrapped.isPermissionError());
        QVERIFY(PlatformError::fromErrno(ETXTBSY, QString()).isBusyError());
        QVERIFY(!PlatformError::fromErrno(ENOENT, QString()).isPermissionError());
    }

    void createdDirectoriesAreOwnerOnly()
    {
        test::TestHome home;
        const UmaskScope mask(0);
        const QString deep = home.path(QStringLiteral("one/two/three"));
        createDirectories(deep);
        QCOMPARE(modeOf(home.path(QStringLiteral("one"))), mode_t(0700));
        QCOMPARE(modeOf(deep), mode_t(0700));
        // An existing directory keeps its mode; calling again is no error.
        ::chmod(deep.toLocal8Bit().constData(), 0755);
        createDirectories(deep);
        QCOMPARE(modeOf(deep), mode_t(0755));
    }

    void createDirectoriesRefusesAFileInTheWay()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file(QStringLiteral("blocker"));
        try {
            createDirectories(tree.path(QStringLiteral("blocker/sub")));
            QFAIL("expected an error");
        } catch (const PlatformError& error) {
            QCOMPARE(error.errorNumber(), ENOTDIR);
        }
    }

    // Folders made in a folder anybody may write to: a link planted where a folder is to be made is
    // never a way to change another file's mode, and one that another user planted is not followed.
    void plantedLinksChangeNoOtherMode_data()
    {
        // A link stands at shared/out and points at "target" (a 0600 file or an empty 0700 folder);
        // `create` is made below shared; `made` is what must then stand inside a target folder (""
        // when nothing), and `error` the errno expected (0: none).
        QTest::addColumn<bool>("targetIsFolder");
        QTest::addColumn<bool>("othersLink");
        QTest::addColumn<QString>("create");
        QTest::addColumn<QString>("made");
        QTest::addColumn<int>("error");
        QTest::newRow("link to a file where the folder would be") << false << false << "out/guide"
                                                                  << "" << ENOTDIR;
        QTest::newRow("own link to a folder on the way") << true << false << "out/guide"
                                                         << "guide" << 0;
        if (::geteuid() == 0) {
            QTest::newRow("another user's link where the folder would be") << true << true << "out"
                                                                           << "" << ELOOP;
            QTest::newRow("another user's link on the way") << true << true << "out/guide/deeper"
                                                            << "" << ELOOP;
            QTest::newRow("another user's link to a file") << false << true << "out/guide"
                                                           << "" << ELOOP;
        }
    }

    void plantedLinksChangeNoOtherMode()
    {
        QFETCH(bool, targetIsFolder);
        QFETCH(bool, othersLink);
        QFETCH(QString, create);
        QFETCH(QString, made);
        QFETCH(int, error);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString shared = tree.dir(QStringLiteral("shared"));
        QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 0777), 0);
        const QString target = targetIsFolder ? tree.dir(QStringLiteral("target"))
                                              : tree.file(QStringLiteral("target"), "secret");
        const mode_t targetMode = targetIsFolder ? 0700 : 0600;
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), targetMode), 0);
        const QString link = tree.symlink(QStringLiteral("shared/out"), target);
        if (othersLink)
            QCOMPARE(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);

        int thrown = 0;
        try {
            createDirectories(shared + QLatin1Char('/') + create, 0755);
        } catch (const PlatformError& failure) {
            thrown = failure.errorNumber();
        }

        QCOMPARE(thrown, error);
        QCOMPARE(modeOf(target), targetMode);
        QCOMPARE(modeOf(shared), mode_t(0777));
        if (targetIsFolder) {
            const QStringList inside = QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            QCOMPARE(inside, made.isEmpty() ? QStringList() : QStringList{made});
            if (!made.isEmpty())
                QCOMPARE(modeOf(target + QLatin1Char('/') + made), mode_t(0755));
        } else {
            QCOMPARE(tree.read(QStringLiteral("target")), QByteArray("secret"));
        }
    }

    void atomicWriteReplacesWholeFileWithRequestedMode()
    {
        test::TestHome home;
        const UmaskScope mask(0);
        const QString file = home.path(QStringLiteral("secret.json"));
        writeFileAtomically(file, "first", 0600);
        QCOMPARE(modeOf(file), mode_t(0600));
        writeFileAtomically(file, "second", 0600);
        QCOMPARE(readWholeFile(file), QByteArray("second"));
        QCOMPARE(modeOf(file), mode_t(0600));
        QCOMPARE(QDir(home.root()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void atomicWriteFailureLeavesOldContent()
    {
        test::TestHome home;
        try {
            writeFileAtomically(home.path(QStringLiteral("missing-dir/file")), "x");
            QFAIL("expected an error");
        } catch (const PlatformError& error) {
            QCOMPARE(error.errorNumber(), ENOENT);
        }
    }

    // Content that stays in the writer's buffer until the end, and content that reaches the disk
    // in pieces while it is written: a fault at either place leaves the old file whole.
    void atomicWriteOnAFailingDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<WriteFault>("fault");
        QTest::addColumn<qsizetype>("size");
        for (const WriteFault fault : {WriteFault::diskFull, WriteFault::readOnly}) {
            for (const qsizetype size : {qsizetype(300), qsizetype(700 * 1024)})
                QTest::addRow("%s, %lld bytes", test::writeFaultName(fault), qlonglong(size))
                    << fault << size;
        }
    }

    void atomicWriteOnAFailingDiskKeepsTheOldFile()
    {
        QFETCH(WriteFault, fault);
        QFETCH(qsizetype, size);
        test::TestHome home;
        test::FailingFolder folder(home.path(QStringLiteral("disk")));
        SKIP_WITHOUT(folder);
        const QString file = folder.path() + QStringLiteral("/history.jsonl");
        const QByteArray old(1000, 'o');
        writeFileAtomically(file, old, 0600);
        QVERIFY(folder.fail(fault));
        try {
            AtomicFileWriter writer(file, 0600);
            for (qsizetype written = 0; written < size; written += 100)
                writer.write(QByteArray(100, 'n'));
            writer.commit();
            QFAIL("the failed write was reported as done");
        } catch (const PlatformError& error) {
            QCOMPARE(error.errorNumber(), fault == WriteFault::diskFull ? ENOSPC : EROFS);
        }
        folder.heal();
        QCOMPARE(readWholeFile(file), old);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("history.jsonl")});
    }

    // A writer dropped before commit() leaves nothing behind; a link at the path is followed and
    // stays a link; without a mode the file keeps the one it had.
    void atomicWriterKeepsLinksAndModes()
    {
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("store")));
        tree.file(QStringLiteral("real/config.json"), "old");
        tree.symlink(QStringLiteral("config.json"), tree.path(QStringLiteral("real/config.json")));
        QVERIFY(QFile::setPermissions(tree.path(QStringLiteral("real/config.json")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        {
            AtomicFileWriter dropped(tree.path(QStringLiteral("config.json")));
            dropped.write("never");
        }
        QCOMPARE(QDir(tree.path(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("config.json")});

        writeFileAtomically(tree.path(QStringLiteral("config.json")), "new");
        QVERIFY(QFileInfo(tree.path(QStringLiteral("config.json"))).isSymLink());
        QCOMPARE(tree.read(QStringLiteral("real/config.json")), QByteArray("new"));
        QCOMPARE(modeOf(tree.path(QStringLiteral("real/config.json"))), mode_t(0640));
    }

    // The file replaced is the one open() reaches: a relative link's text is taken from the folder
    // that really holds the link, after the links on the way to it were followed. Links are given
    // as "<link>><text>", "@" standing for the root. Nothing but the file reached changes, and no
    // file appears where the text would lead from the path as written.
    void atomicWriterReplacesTheFileReadersReach_data()
    {
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("reached");
        QTest::newRow("a linked folder holds a link that climbs")
            << QStringList{"support/history/guest>@/home/Sync/orvalink/guest",
                           "home/Sync/orvalink/guest/mappings.jsonl>../../mappings-shared.jsonl"}
            << "support/history/guest/mappings.jsonl"
            << "home/Sync/mappings-shared.jsonl";
        QTest::newRow("a relative text climbs out of a linked folder")
            << QStringList{"support/inner>@/elsewhere/deep/inner",
                           "support/tasks.jsonl>inner/../shared.jsonl"}
            << "support/tasks.jsonl"
            << "elsewhere/deep/shared.jsonl";
        QTest::newRow("a chain whose second link lies in a linked folder")
            << QStringList{"support/tasks.jsonl>@/support/linked/b.jsonl", "support/linked>@/real/sub",
                           "real/sub/b.jsonl>../c.jsonl"}
            << "support/tasks.jsonl"
            << "real/c.jsonl";
    }
    void atomicWriterReplacesTheFileReadersReach()
    {
        QFETCH(QStringList, links);
        QFETCH(QString, written);
        QFETCH(QString, reached);
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("tree")));
        tree.file(reached, "old\n");
        tree.dir(QStringLiteral("elsewhere/deep/inner"));
        for (const QString& link : links) {
            const QStringList parts = link.split(QLatin1Char('>'));
            tree.symlink(parts[0], QString(parts[1]).replace(QLatin1Char('@'), tree.root()));
        }
        QCOMPARE(tree.read(written), QByteArray("old\n"));
        QMap<QString, QByteArray> expected = filesBelow(tree.root());

        writeFileAtomically(tree.path(written), "new\n", 0600);

        QCOMPARE(tree.read(written), QByteArray("new\n"));
        expected[reached] = "new\n";
        QCOMPARE(filesBelow(tree.root()), expected);
        QCOMPARE(modeOf(tree.path(reached)), mode_t(0600));
    }

    // The writer replaces a regular file or makes a missing one, nothing else: a node reached at the
    // path itself or through a store's link (a link to /dev/null switches a file off) is refused,
    // naming its path, and stays the very node it was; no temporary file is left beside it. "late":
    // the node takes the file's place while the writer fills, and the commit refuses it.
    void atomicWriterReplacesOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("linked");
        QTest::addColumn<bool>("late");
        QTest::addColumn<int>("expectedErrno");
        for (const bool linked : {false, true}) {
            const char* how = linked ? "through a link" : "at the path";
            QTest::addRow("FIFO %s", how) << "fifo" << linked << false << EINVAL;
            QTest::addRow("character device %s", how) << "device" << linked << false << EINVAL;
            QTest::addRow("socket %s", how) << "socket" << linked << false << ENXIO;
            QTest::addRow("folder %s", how) << "folder" << linked << false << EISDIR;
        }
        QTest::newRow("FIFO put in place while the writer fills") << "fifo" << false << true << EINVAL;
        QTest::newRow("device put in place behind a link while the writer fills")
            << "device" << true << true << EINVAL;
    }
    void atomicWriterReplacesOnlyRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, linked);
        QFETCH(bool, late);
        QFETCH(int, expectedErrno);
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("store")));
        const QString node = tree.path(QStringLiteral("nodes/") + kind);
        const QString path = linked ? tree.symlink(QStringLiteral("auth_session.json"), node) : node;
        const QString planted = late ? tree.path(QStringLiteral("nodes/planted")) : node;
        tree.dir(QStringLiteral("nodes"));
        if (late)
            tree.file(QStringLiteral("nodes/") + kind, "{\"token\":\"old\"}");
        if (const std::optional<QString> reason = makeNode(kind, planted))
            QSKIP(qPrintable(*reason));

        const QByteArray nodeName = QFile::encodeName(node);
        struct stat before {};
        if (!late)
            QCOMPARE(::lstat(nodeName.constData(), &before), 0);
        try {
            AtomicFileWriter writer(path, 0600);
            writer.write("{\"token\":\"new\"}");
            if (late) {
                QCOMPARE(::rename(QFile::encodeName(planted).constData(), nodeName.constData()), 0);
                QCOMPARE(::lstat(nodeName.constData(), &before), 0);
            }
            writer.commit();
            QFAIL("the writer replaced what is no regular file");
        } catch (const UnsuitableFileError& error) {
            QCOMPARE(error.errorNumber(), expectedErrno);
            QVERIFY2(error.message().contains(node), qPrintable(error.message()));
        }

        struct stat after {};
        QCOMPARE(::lstat(nodeName.constData(), &after), 0);
        QCOMPARE(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_dev, before.st_dev);
        QCOMPARE(after.st_rdev, before.st_rdev);
        const auto entries = [](const QString& folder) {
            return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                          QDir::NoDotAndDotDot);
        };
        QCOMPARE(entries(tree.path(QStringLiteral("nodes"))), QStringList{kind});
        const QStringList atRoot = linked ? QStringList{"auth_session.json", "nodes"} : QStringList{"nodes"};
        QCOMPARE(entries(tree.root()), atRoot);
    }

    void appendRestoresMissingLineFeed()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString file = tree.file(QStringLiteral("log.jsonl"), "{\"cut\":1");
        appendLine(file, "{\"next\":2}\n");
        QCOMPARE(tree.read(QStringLiteral("log.jsonl")), QByteArray("{\"cut\":1\n{\"next\":2}\n"));
        appendLine(file, "{\"third\":3}\n");
        QCOMPARE(tree.read(QStringLiteral("log.jsonl")),
                 QByteArray("{\"cut\":1\n{\"next\":2}\n{\"third\":3}\n"));
    }

    void appendCreatesOwnerOnlyFile()
    {
        test::TestHome home;
        const UmaskScope mask(0);
        const QString file = home.path(QStringLiteral("new.jsonl"));
        appendLine(file, "{}\n");
        QCOMPARE(readWholeFile(file), QByteArray("{}\n"));
        QCOMPARE(modeOf(file), mode_t(0600));
    }

    // An appended record goes into a regular file or nowhere: a FIFO or a device would swallow it
    // while the append seemed to succeed.
    void appendWritesOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("written");
        QTest::newRow("link to a regular file") << "link-to-file" << true;
        QTest::newRow("FIFO") << "fifo" << false;
        QTest::newRow("link to a character device") << "link-to-device" << false;
    }
    void appendWritesOnlyRegularFiles()
    {
        QFETCH(QString, entry);
        QFETCH(bool, written);
        test::TestHome home;
        test::TestTree tree(home.root());
        buildEntryKinds(tree, "{}\n");
        if (written) {
            appendLine(tree.path(entry), "{\"next\":2}\n");
            QCOMPARE(tree.read(QStringLiteral("file")), QByteArray("{}\n{\"next\":2}\n"));
        } else {
            QVERIFY_THROWS_EXCEPTION(UnsuitableFileError, appendLine(tree.path(entry), "{}\n"));
        }
    }

    // Stores are read through links (a user may keep them elsewhere), but whatever is not a regular
    // file is refused at once: a FIFO or a device must never hold the application up at start.
    void wholeFileReadFollowsLinksAndRefusesWhatIsNoFile_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("expectedErrno"); // 0: read
        QTest::addColumn<bool>("unsuitable");
        QTest::newRow("regular file") << "file" << 0 << false;
        QTest::newRow("link to a regular file") << "link-to-file" << 0 << false;
        QTest::newRow("FIFO") << "fifo" << EINVAL << true;
        QTest::newRow("link to a FIFO") << "link-to-fifo" << EINVAL << true;
        QTest::newRow("link to a character device") << "link-to-device" << EINVAL << true;
        QTest::newRow("folder") << "folder" << EISDIR << true;
        QTest::newRow("missing") << "missing" << ENOENT << false;
    }
    void wholeFileReadFollowsLinksAndRefusesWhatIsNoFile()
    {
        QFETCH(QString, entry);
        QFETCH(int, expectedErrno);
        QFETCH(bool, unsuitable);
        test::TestHome home;
        test::TestTree tree(home.root());
        buildEntryKinds(tree, "content");

        // Read on a thread of its own, so a reader that waits fails the test instead of hanging it.
        struct Outcome {
            QByteArray content;
            int errorNumber = 0;
            bool unsuitable = false;
        };
        auto promise = std::make_shared<std::promise<Outcome>>();
        auto future = promise->get_future();
        std::thread([promise, path = tree.path(entry)] {
            try {
                promise->set_value({readWholeFile(path)});
            } catch (const UnsuitableFileError& error) {
                promise->set_value({{}, error.errorNumber(), true});
            } catch (const PlatformError& error) {
                promise->set_value({{}, error.errorNumber(), false});
            }
        }).detach();
        QVERIFY2(future.wait_for(std::chrono::seconds(20)) == std::future_status::ready,
                 "the read waited on what stands there");
        const Outcome outcome = future.get();
        QCOMPARE(outcome.errorNumber, expectedErrno);
        QCOMPARE(outcome.unsuitable, unsuitable);
        QCOMPARE(outcome.content, expectedErrno == 0 ? QByteArray("content") : QByteArray());
    }

    void existenceTestsTellDanglingLinks()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString link = tree.symlink(QStringLiteral("dangling"), QStringLiteral("nowhere"));
        QVERIFY(entryExists(link));
        QVERIFY(!fileExists(link));
        QVERIFY(!entryExists(home.path(QStringLiteral("absent"))));
    }

    void renameNeverReplaces()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString from = tree.file(QStringLiteral("a"), "a");
        const QString to = tree.dir(QStringLiteral("b"));
        try {
            renameNoReplace(from, to);
            QFAIL("expected an error");
        } catch (const PlatformError& error) {
            QCOMPARE(error.errorNumber(), EEXIST);
        }
        QCOMPARE(tree.read(QStringLiteral("a")), QByteArray("a"));
        renameNoReplace(from, tree.path(QStringLiteral("c")));
        QCOMPARE(tree.read(QStringLiteral("c")), QByteArray("a"));
    }

    void prettyHostname_data()
    {
        QTest::addColumn<QByteArray>("machineInfo");
        QTest::addColumn<QString>("expected");
        QTest::newRow("double quotes with escapes")
            << QByteArray("CHASSIS=laptop\nPRETTY_HOSTNAME=\"Anna\\'s \\\"Work\\\" Laptop\"\n")
            << "Anna's \"Work\" Laptop";
        QTest::newRow("single quotes") << QByteArray("PRETTY_HOSTNAME='Studio PC'") << "Studio PC";
        QTest::newRow("bare value") << QByteArray("  PRETTY_HOSTNAME=Desk  \n") << "Desk";
        QTest::newRow("blank value") << QByteArray("PRETTY_HOSTNAME=\"  \"") << "";
        QTest::newRow("missing") << QByteArray("CHASSIS=desktop\n") << "";
    }

    void prettyHostname()
    {
        QFETCH(QByteArray, machineInfo);
        QFETCH(QString, expected);
        QCOMPARE(prettyHostnameFromMachineInfo(machineInfo), expected);
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
