// Which decoder program the captcha runs. The attacks: another user plants a decoder (or the folder
// it stands in) where the application looks, and a copy of the application run away from its build
// looks into a build folder that is gone, where anybody may make a new one.
#include "ui/widgets/DecoderProgram.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using orvalink::ui::DecoderProgram;

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kWaitMs = 30000;

// A program at `path` (its folders made, all of mode 0755) copied from `from`.
void placeProgram(const QString& from, const QString& path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(QFile::copy(from, path));
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0755), 0);
}

void giveToNobody(const QString& path)
{
    QCOMPARE(::chown(QFile::encodeName(path).constData(), kNobody, kNobody), 0);
}

// What a program prints: the decoder it would run, then the outcome of decoding a small picture.
QStringList runProbe(const QString& program)
{
    QProcess probe;
    probe.start(program, {});
    if (!probe.waitForFinished(kWaitMs) || probe.exitCode() != 0)
        return {QStringLiteral("the probe failed")};
    return QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'));
}

} // namespace

class DecoderProgramTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyATrustedDecoderInItsPlaceRuns_data()
    {
        // `from`: where the application's binary lies: "installed" (<base>/prefix/bin), "build"
        // (<base>/build/src/app), "copy" (<base>/copy/bin, away from the build), "build by link"
        // (the build folder reached through a link), "beside build" (<base>/build-old/src/app).
        // `expected`: "installed", "build" or "none".
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("needsRoot");
        const auto row = [](const char* name, const char* from, const char* change, const char* expected,
                            bool needsRoot = false) {
            QTest::newRow(name) << QString::fromLatin1(from) << QString::fromLatin1(change)
                                << QString::fromLatin1(expected) << needsRoot;
        };
        row("installed beside the program", "installed", "", "installed");
        row("installed one planted by another user", "installed", "installed of nobody", "none", true);
        row("installed one in a folder of another user", "installed", "libexec of nobody", "none", true);
        row("installed one in a folder open to all", "installed", "libexec open", "none");
        row("run from its build tree", "build", "", "build");
        row("run from its build tree reached by a link", "build by link", "", "build");
        row("build decoder planted by another user", "build", "build decoder of nobody", "none", true);
        row("copied away from its build", "copy", "", "none");
        row("copied away, the build folder gone", "copy", "build gone", "none");
        row("a folder named like the build", "beside build", "", "none");
    }

    void onlyATrustedDecoderInItsPlaceRuns()
    {
        QFETCH(QString, from);
        QFETCH(QString, change);
        QFETCH(QString, expected);
        QFETCH(bool, needsRoot);
        if (needsRoot && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QString real = DecoderProgram::builtIn().inBuildTree;
        const QString installed =
            base.filePath(QStringLiteral("prefix/libexec/orvalink/orvalink-image-decoder"));
        const QString build = base.filePath(QStringLiteral("build"));
        const QString built = build + QStringLiteral("/src/ui/decoder/orvalink-image-decoder");
        placeProgram(real, installed);
        placeProgram(real, built);
        for (const char* folder : {"prefix/bin", "build/src/app", "copy/bin", "build-old/src/app"})
            QVERIFY(QDir().mkpath(base.filePath(QString::fromLatin1(folder))));
        QVERIFY(QFile::link(build, base.filePath(QStringLiteral("link-to-build"))));
        const DecoderProgram places{QStringLiteral("../libexec/orvalink/orvalink-image-decoder"), build,
                                    built};

        if (change == QLatin1String("installed of nobody"))
            giveToNobody(installed);
        else if (change == QLatin1String("libexec of nobody"))
            giveToNobody(base.filePath(QStringLiteral("prefix/libexec/orvalink")));
        else if (change == QLatin1String("libexec open"))
            QCOMPARE(
                ::chmod(QFile::encodeName(base.filePath(QStringLiteral("prefix/libexec"))).constData(), 0777),
                0);
        else if (change == QLatin1String("build decoder of nobody"))
            giveToNobody(built);
        else if (change == QLatin1String("build gone"))
            QVERIFY(QDir(build).removeRecursively());

        const QHash<QString, QString> applicationDirs{
            {QStringLiteral("installed"), base.filePath(QStringLiteral("prefix/bin"))},
            {QStringLiteral("build"), build + QStringLiteral("/src/app")},
            {QStringLiteral("build by link"), base.filePath(QStringLiteral("link-to-build/src/app"))},
            {QStringLiteral("copy"), base.filePath(QStringLiteral("copy/bin"))},
            {QStringLiteral("beside build"), base.filePath(QStringLiteral("build-old/src/app"))},
        };
        const QString found = places.find(applicationDirs.value(from));
        if (expected == QLatin1String("none"))
            QCOMPARE(found, QString());
        else
            QCOMPARE(
                found,
                QFileInfo(expected == QLatin1String("installed") ? installed : built).canonicalFilePath());
    }

    // The application itself, run in place, draws with the decoder of its build tree.
    void theProgramInItsBuildDraws()
    {
        const QStringList lines = runProbe(QStringLiteral(ORVALINK_DECODER_PROBE));
        QCOMPARE(lines.value(0), QFileInfo(DecoderProgram::builtIn().inBuildTree).canonicalFilePath());
        QCOMPARE(lines.value(1), QStringLiteral("Drawn"));
    }

    // A copy run away from its build never looks into the build folder, although that still holds a
    // sound decoder: no picture, and nothing is run.
    void aCopyAwayFromItsBuildDrawsNothing()
    {
        QTemporaryDir away;
        const QString copy = away.filePath(QStringLiteral("bin/orvalink"));
        placeProgram(QStringLiteral(ORVALINK_DECODER_PROBE), copy);
        QVERIFY(QFileInfo::exists(DecoderProgram::builtIn().inBuildTree));
        const QStringList lines = runProbe(copy);
        QCOMPARE(lines.value(0), QString());
        QCOMPARE(lines.value(1), QStringLiteral("NoPicture"));
    }

    // A copy with a decoder beside it runs that one only when nobody else could have put it there.
    void aCopyRunsOnlyAnInstalledDecoderOfItsOwn()
    {
        if (::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        QTemporaryDir prefix;
        const QString copy = prefix.filePath(QStringLiteral("bin/orvalink"));
        const QString beside = prefix.filePath(QStringLiteral("libexec/orvalink/orvalink-image-decoder"));
        placeProgram(QStringLiteral(ORVALINK_DECODER_PROBE), copy);
        placeProgram(DecoderProgram::builtIn().inBuildTree, beside);
        giveToNobody(beside);
        QCOMPARE(runProbe(copy).mid(0, 2), (QStringList{QString(), QStringLiteral("NoPicture")}));

        QCOMPARE(::chown(QFile::encodeName(beside).constData(), ::geteuid(), ::getegid()), 0);
        QCOMPARE(::chmod(QFile::encodeName(beside).constData(), 0755), 0); // chown drops nothing else
        QCOMPARE(runProbe(copy).mid(0, 2),
                 (QStringList{QFileInfo(beside).canonicalFilePath(), QStringLiteral("Drawn")}));
    }
};

QTEST_GUILESS_MAIN(DecoderProgramTest)
#include "tst_decoderprogram.moc"
