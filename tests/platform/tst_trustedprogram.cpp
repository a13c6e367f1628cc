// Which programs may run: only one that root or this user put in place, in folders nobody else can
// change. The attack: another user plants a program (or a folder, or a link) where one is looked for.
#include "platform/TrustedProgram.h"
#include "support/TestTree.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvalink;

namespace {

constexpr uid_t kNobody = 65534;

void setMode(const QString& path, mode_t mode)
{
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

void giveToNobody(const QString& path)
{
    QCOMPARE(::lchown(QFile::encodeName(path).constData(), kNobody, kNobody), 0);
}

} // namespace

class TrustedProgramTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyWhatNobodyElseCanChangeRuns_data()
    {
        // The program is <base>/bin/decoder, or <base>/elsewhere/decoder reached through a link
        // there. `change` spoils one part of an otherwise sound layout.
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<bool>("needsRoot"); // giving a file to another user
        const auto row = [](const char* change, bool runs, bool needsRoot = false) {
            QTest::newRow(change) << QString::fromLatin1(change) << runs << needsRoot;
        };
        row("sound", true);
        row("program private to us", true);
        row("folder with the sticky bit", true);
        row("link to a sound program", true);
        row("program of another user", false, true);
        row("program writable by the group", false);
        row("program writable by all", false);
        row("program not executable", false);
        row("program is a folder", false);
        row("program missing", false);
        row("folder of another user", false, true);
        row("folder writable by the group", false);
        row("folder writable by all", false);
        row("sticky folder of another user", false, true);
        row("folder above writable by all", false);
        row("link to a program of another user", false, true);
        row("link into a folder of another user", false, true);
    }

    void onlyWhatNobodyElseCanChangeRuns()
    {
        QFETCH(QString, change);
        QFETCH(bool, runs);
        QFETCH(bool, needsRoot);
        if (needsRoot && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        QTemporaryDir base;
        QVERIFY(base.isValid());
        test::TestTree tree(base.path());
        const QString folder = tree.dir(QStringLiteral("bin"));
        setMode(base.path(), 0755);
        setMode(folder, 0755);
        QString program = tree.path(QStringLiteral("bin/decoder"));
        QString real = program;
        const bool viaLink = change.startsWith(QLatin1String("link"));
        if (viaLink) {
            real = tree.file(QStringLiteral("elsewhere/decoder"), "#!/bin/sh\n");
            setMode(tree.path(QStringLiteral("elsewhere")), 0755);
            tree.symlink(QStringLiteral("bin/decoder"), real);
        } else if (change == QLatin1String("program is a folder")) {
            tree.dir(QStringLiteral("bin/decoder"));
        } else if (change != QLatin1String("program missing")) {
            tree.file(QStringLiteral("bin/decoder"), "#!/bin/sh\n");
        }
        if (QFileInfo(real).isFile())
            setMode(real, 0755);

        if (change == QLatin1String("program private to us"))
            setMode(real, 0700);
        else if (change == QLatin1String("folder with the sticky bit"))
            setMode(folder, 01777);
        else if (change == QLatin1String("program of another user") ||
                 change == QLatin1String("link to a program of another user"))
            giveToNobody(real);
        else if (change == QLatin1String("program writable by the group"))
            setMode(real, 0775);
        else if (change == QLatin1String("program writable by all"))
            setMode(real, 0757);
        else if (change == QLatin1String("program not executable"))
            setMode(real, 0644);
        else if (change == QLatin1String("folder of another user"))
            giveToNobody(folder);
        else if (change == QLatin1String("folder writable by the group"))
            setMode(folder, 0775);
        else if (change == QLatin1String("folder writable by all"))
            setMode(folder, 0777);
        else if (change == QLatin1String("sticky folder of another user")) {
            setMode(folder, 01777);
            giveToNobody(folder);
        } else if (change == QLatin1String("folder above writable by all"))
            setMode(base.path(), 0777);
        else if (change == QLatin1String("link into a folder of another user"))
            giveToNobody(tree.path(QStringLiteral("elsewhere")));

        const std::optional<QString> trusted = platform::trustedProgram(program);
        if (!runs) {
            QCOMPARE(trusted, std::nullopt);
            return;
        }
        QCOMPARE(trusted, std::optional<QString>(QFileInfo(real).canonicalFilePath()));
    }

    // The check is made on the path that runs: a link is followed to the program itself.
    void aLinkIsReportedResolved()
    {
        QTemporaryDir base;
        test::TestTree tree(base.path());
        const QString real = tree.file(QStringLiteral("real/decoder"), "#!/bin/sh\n");
        setMode(real, 0755);
        setMode(tree.path(QStringLiteral("real")), 0755);
        tree.symlink(QStringLiteral("alias"), tree.path(QStringLiteral("real")));
        const std::optional<QString> trusted =
            platform::trustedProgram(tree.path(QStringLiteral("alias/decoder")));
        QCOMPARE(trusted, std::optional<QString>(QFileInfo(real).canonicalFilePath()));
        QCOMPARE(platform::trustedProgram(QString()), std::nullopt);
        QCOMPARE(platform::trustedProgram(QStringLiteral("relative/decoder")), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TrustedProgramTest)
#include "tst_trustedprogram.moc"
