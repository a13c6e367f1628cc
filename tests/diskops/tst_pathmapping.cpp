#include "diskops/PathMappingService.h"
#include "diskops/SelectionService.h"
#include "model/OrvalinkError.h"
#include "support/TestHome.h"

#include <QTest>

using namespace orvalink;

namespace {

// Rows write the home directory as "~"; the test home replaces it.
QString expand(const QString& path, const QString& home)
{
    return path.startsWith(QLatin1Char('~')) ? home + path.mid(1) : path;
}

// "ok", or the error code and the path the error reports.
QString verdict(const std::function<void()>& call)
{
    try {
        call();
        return QStringLiteral("ok");
    } catch (const OrvalinkError& error) {
        return error.code() + QLatin1Char(' ') + (error.path().isEmpty() ? error.sourcePath() : error.path());
    }
}

} // namespace

class PathMappingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void safetyRules_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("strictOff"); // "ok" or "<code> <reported path>"
        QTest::addColumn<QString>("strictOn");
        QTest::newRow("root") << "/"
                              << "E012 /"
                              << "E012 /";
        QTest::newRow("home") << "~"
                              << "ok"
                              << "E012 ~";
        QTest::newRow("home, trailing slash") << "~/"
                                              << "ok"
                                              << "E012 ~";
        QTest::newRow("trash") << "~/.Trash"
                               << "E012 ~/.Trash"
                               << "E012 ~/.Trash";
        QTest::newRow("inside trash") << "~/.Trash/old/x"
                                      << "E012 ~/.Trash/old/x"
                                      << "E012 ~/.Trash/old/x";
        QTest::newRow("trash sibling") << "~/.Trashy"
                                       << "ok"
                                       << "ok";
        QTest::newRow("freedesktop trash") << "~/.local/share/Trash"
                                           << "E012 ~/.local/share/Trash"
                                           << "E012 ~/.local/share/Trash";
        QTest::newRow("inside freedesktop trash") << "~/.local/share//Trash/files/"
                                                  << "E012 ~/.local/share/Trash/files"
                                                  << "E012 ~/.local/share/Trash/files";
        QTest::newRow("library") << "~/Library"
                                 << "ok"
                                 << "E012 ~/Library";
        QTest::newRow("library child") << "~/Library/Caches"
                                       << "ok"
                                       << "E012 ~/Library/Caches";
        QTest::newRow("library grandchild") << "~/Library/Caches/app"
                                            << "ok"
                                            << "ok";
        QTest::newRow("containers folder") << "~/Library/Containers"
                                           << "ok"
                                           << "E012 ~/Library/Containers";
        QTest::newRow("container") << "~/Library/Containers/com.app"
                                   << "E012 ~/Library/Containers/com.app"
                                   << "E012 ~/Library/Containers/com.app";
        QTest::newRow("container data") << "~/Library/Containers/com.app/Data/"
                                        << "E012 ~/Library/Containers/com.app/Data"
                                        << "E012 ~/Library/Containers/com.app/Data";
        QTest::newRow("inside container data") << "~/Library/Containers/com.app/Data/Documents"
                                               << "ok"
                                               << "ok";
        QTest::newRow("container, not data") << "~/Library/Containers/com.app/Other"
                                             << "ok"
                                             << "ok";
        QTest::newRow("group container") << "~/Library/Group Containers/group.x"
                                         << "E012 ~/Library/Group Containers/group.x"
                                         << "E012 ~/Library/Group Containers/group.x";
        QTest::newRow("movies") << "~/Movies"
                                << "ok"
                                << "ok";
        QTest::newRow("dot dot back into library") << "~/Movies/../Library/Caches"
                                                   << "ok"
                                                   << "E012 ~/Library/Caches";
        QTest::newRow("protected entry") << "/System"
                                         << "ok"
                                         << "E012 /System";
        QTest::newRow("under volumes") << "/Volumes/Disk/x"
                                       << "ok"
                                       << "E012 /Volumes/Disk/x";
        QTest::newRow("under usr, repeated slashes") << "/usr//local/"
                                                     << "ok"
                                                     << "E012 /usr/local";
        QTest::newRow("under tmp") << "/tmp/work"
                                   << "ok"
                                   << "E012 /tmp/work";
        QTest::newRow("dot dot out of a protected entry") << "/System/../srvx/x"
                                                          << "ok"
                                                          << "ok";
        QTest::newRow("linux media") << "/media/u/Disk"
                                     << "ok"
                                     << "E012 /media/u/Disk";
        QTest::newRow("linux root home") << "/root"
                                         << "ok"
                                         << "E012 /root";
        QTest::newRow("linux proc") << "/proc/self"
                                    << "ok"
                                    << "E012 /proc/self";
        QTest::newRow("linux run") << "/run/media/u"
                                   << "ok"
                                   << "E012 /run/media/u";
        QTest::newRow("top level not listed") << "/Applications"
                                              << "ok"
                                              << "ok";
        QTest::newRow("name sharing a prefix") << "/usrdata"
                                               << "ok"
                                               << "ok";
        QTest::newRow("home's parent") << "~/.."
                                       << "ok"
                                       << "ok";
    }
    void safetyRules()
    {
        QFETCH(QString, path);
        QFETCH(QString, strictOff);
        QFETCH(QString, strictOn);
        test::TestHome home;
        const PathMappingService service;
        const QString source = expand(path, home.home());
        QCOMPARE(verdict([&] { service.validateMigrationSource(source, "anchor", false); }),
                 expand(strictOff.replace(" ~", " " + home.home()), home.home()));
        QCOMPARE(verdict([&] { service.validateMigrationSource(source, "anchor", true); }),
                 expand(strictOn.replace(" ~", " " + home.home()), home.home()));
    }

    void homeIsReadOnEveryCallAndComparedCanonically()
    {
        test::TestHome home;
        const PathMappingService service;
        const QString precomposed = home.path(QStringLiteral("Jos\u00e9"));
        home.setEnv("HOME", precomposed);
        // The same name with a combining accent is the same home directory.
        const QString decomposed = home.path(QStringLiteral("Jose\u0301"));
        QCOMPARE(verdict([&] { service.validateMigrationSource(decomposed, "u", true); }),
                 "E012 " + decomposed);
        QCOMPARE(verdict([&] { service.validateMigrationSource(decomposed + "/.Trash", "u", false); }),
                 "E012 " + decomposed + "/.Trash");
    }

    void targetPath_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "~/Movies"
                               << "/media/u/Disk/Store"
                               << "/media/u/Disk/Store~/Movies";
        QTest::newRow("trailing slashes") << "~/Movies/"
                                          << "/media/u/Disk/Store/"
                                          << "/media/u/Disk/Store~/Movies";
        QTest::newRow("dots and repeats") << "~//Movies/./a/../"
                                          << "/media/u//Disk/./Store"
                                          << "/media/u/Disk/Store~/Movies";
        QTest::newRow("root is slash") << "~/Movies"
                                       << "/"
                                       << "~/Movies";
        QTest::newRow("refused source") << "~/.Trash/x"
                                        << "/media/u/Disk"
                                        << "E012 ~/.Trash/x";
        QTest::newRow("refused in strict mode") << "~/Library/Caches"
                                                << "/media/u/Disk"
                                                << "E012 ~/Library/Caches";
    }
    void targetPath()
    {
        QFETCH(QString, source);
        QFETCH(QString, root);
        QFETCH(QString, expected);
        test::TestHome home;
        const PathMappingService service;
        QString result;
        const QString outcome = verdict(
            [&] { result = service.buildTargetPath(expand(source, home.home()), root, "anchor", true); });
        if (outcome == "ok")
            QCOMPARE(result, expected.replace("~", home.home()));
        else
            QCOMPARE(outcome, expected.replace("~", home.home()));
    }

    void displayListOfBlockedPatterns()
    {
        test::TestHome home;
        const QString h = home.home();
        const QStringList list = PathMappingService().strictDisallowedPaths();
        const QStringList head{h + "/.Trash",
                               h + "/.local/share/Trash",
                               h + "/.Trash/**",
                               h + "/.local/share/Trash/**",
                               h + "/Library/Containers/*",
                               h + "/Library/Group Containers/*",
                               h + "/Library/Containers/*/Data",
                               h + "/Library/Group Containers/*/Data"};
        QCOMPARE(list.mid(0, 8), head);
        const QStringList protectedPaths = PathMappingService::systemProtectedPaths();
        QCOMPARE(protectedPaths.size(), 26);
        QCOMPARE(protectedPaths.mid(0, 3), QStringList({"/", "/System", "/Library"}));
        QCOMPARE(protectedPaths[14], QStringLiteral("/Volumes"));
        QCOMPARE(list.mid(8, 26), protectedPaths);
        QCOMPARE(list.mid(34, 3), QStringList({h, h + "/Library", h + "/Library/*"}));
        QCOMPARE(list[37], QStringLiteral("/System/**"));
        QCOMPARE(list.last(), QStringLiteral("/media/**"));
        QCOMPARE(list.size(), 8 + 26 + 3 + 25);
        QCOMPARE(list.count("/"), 1);
        QVERIFY(!list.contains("/**") && !list.contains("//**"));

        // The classic fifteen alone give the 38 patterns; a protected entry equal to the home
        // directory is listed once.
        const QStringList classic = protectedPaths.mid(0, 15);
        QCOMPARE(PathMappingService(classic).strictDisallowedPaths().size(), 38 + 2);
        QCOMPARE(PathMappingService(classic + QStringList{h + "/"}).strictDisallowedPaths().count(h), 1);
    }

    void selectionConflicts_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("expected"); // "ok" or "parent -> child"
        QTest::newRow("none") << QStringList() << "ok";
        QTest::newRow("one") << QStringList{"/a"} << "ok";
        QTest::newRow("siblings") << QStringList{"/a/b", "/a/c"} << "ok";
        QTest::newRow("shared prefix only") << QStringList{"/ab", "/a"} << "ok";
        QTest::newRow("sibling sorts between") << QStringList{"/a", "/a-b", "/a/b"} << "/a -> /a/b";
        QTest::newRow("same path, trailing slash") << QStringList{"/a/b", "/a/b/"} << "/a/b -> /a/b";
        QTest::newRow("dot dot") << QStringList{"/x/../a", "/a/b"} << "/a -> /a/b";
        QTest::newRow("repeated slashes") << QStringList{"/a//b/c", "/a/b"} << "/a/b -> /a/b/c";
        QTest::newRow("first pair in order") << QStringList{"/a/b/c", "/a", "/a/b"} << "/a -> /a/b";
        QTest::newRow("canonically equal names")
            << QStringList{QStringLiteral("/caf\u00e9"), QStringLiteral("/cafe\u0301/x")}
            << QStringLiteral("/caf\u00e9 -> /cafe\u0301/x");
    }
    void selectionConflicts()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, expected);
        const QSet<QString> selection(paths.begin(), paths.end());
        try {
            SelectionService().validateNoParentChildConflict(selection);
            QCOMPARE(QStringLiteral("ok"), expected);
        } catch (const OrvalinkError& error) {
            QCOMPARE(error.code(), QStringLiteral("E006"));
            QCOMPARE(error.parent() + " -> " + error.child(), expected);
        }
    }
};

QTEST_GUILESS_MAIN(PathMappingTest)
#include "tst_pathmapping.moc"
