#include "guide/GuideEnvironment.h"
#include "guide/GuideSnapshotExporter.h"
#include "support/TestHome.h"

#include <QDir>
#include <QTest>

using namespace orvalink;
using orvalink::test::TestHome;

namespace {
const char* const kUnset = "<unset>";
}

class GuideEnvironmentTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exportSwitchIsExactlyOne_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("on");
        QTest::newRow("unset") << QString::fromLatin1(kUnset) << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("one") << QStringLiteral("1") << true;
        QTest::newRow("true") << QStringLiteral("true") << false;
        QTest::newRow("leading space") << QStringLiteral(" 1") << false;
        QTest::newRow("trailing space") << QStringLiteral("1 ") << false;
        QTest::newRow("zero padded") << QStringLiteral("01") << false;
        QTest::newRow("yes") << QStringLiteral("yes") << false;
    }
    void exportSwitchIsExactlyOne()
    {
        QFETCH(QString, value);
        QFETCH(bool, on);
        TestHome home;
        const std::optional<QString> set =
            value == QLatin1String(kUnset) ? std::nullopt : std::optional(value);
        home.setEnv("ORVALINK_GUIDE_EXPORT", set);
        home.setEnv("ORVALINK_GUIDE_CAPTURE", set);
        home.setEnv("ORVALINK_UI_SMOKE", set);
        QCOMPARE(guide::shouldExportFromEnvironment(), on);
        QCOMPARE(guide::environmentSwitchIsOn("ORVALINK_GUIDE_CAPTURE"), on);
        QCOMPARE(guide::environmentSwitchIsOn("ORVALINK_UI_SMOKE"), on);
    }

    void valuesAndFlags_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("trimmed"); // kUnset: none
        QTest::addColumn<bool>("flagWhenDefaultFalse");
        QTest::addColumn<bool>("flagWhenDefaultTrue");
        QTest::newRow("unset") << QString::fromLatin1(kUnset) << QString::fromLatin1(kUnset) << false << true;
        QTest::newRow("blank") << QStringLiteral(" \t\n ") << QString::fromLatin1(kUnset) << false << true;
        QTest::newRow("spaced word") << QStringLiteral("  feedback \n") << QStringLiteral("feedback") << false
                                     << true;
        QTest::newRow("Yes") << QStringLiteral("Yes") << QStringLiteral("Yes") << true << true;
        QTest::newRow("ON spaced") << QStringLiteral(" ON ") << QStringLiteral("ON") << true << true;
        QTest::newRow("1") << QStringLiteral("1") << QStringLiteral("1") << true << true;
        QTest::newRow("No") << QStringLiteral("No") << QStringLiteral("No") << false << false;
        QTest::newRow("off") << QStringLiteral("off") << QStringLiteral("off") << false << false;
        QTest::newRow("FALSE") << QStringLiteral("FALSE") << QStringLiteral("FALSE") << false << false;
        QTest::newRow("0") << QStringLiteral("0") << QStringLiteral("0") << false << false;
        QTest::newRow("unknown word") << QStringLiteral("maybe") << QStringLiteral("maybe") << false << true;
        QTest::newRow("two") << QStringLiteral("2") << QStringLiteral("2") << false << true;
    }
    void valuesAndFlags()
    {
        QFETCH(QString, value);
        QFETCH(QString, trimmed);
        QFETCH(bool, flagWhenDefaultFalse);
        QFETCH(bool, flagWhenDefaultTrue);
        TestHome home;
        home.setEnv("ORVALINK_GUIDE_SHEET",
                    value == QLatin1String(kUnset) ? std::nullopt : std::optional<QString>(value));
        const std::optional<QString> expected =
            trimmed == QLatin1String(kUnset) ? std::nullopt : std::optional<QString>(trimmed);
        QCOMPARE(guide::guideEnvironmentValue("ORVALINK_GUIDE_SHEET"), expected);
        QCOMPARE(guide::guideEnvironmentFlag("ORVALINK_GUIDE_SHEET", false), flagWhenDefaultFalse);
        QCOMPARE(guide::guideEnvironmentFlag("ORVALINK_GUIDE_SHEET", true), flagWhenDefaultTrue);
    }

    void outputDirectory_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected"); // "@support" / "@cwd" stand for the folders
        QTest::newRow("unset") << QString::fromLatin1(kUnset) << QStringLiteral("@support/guide-export");
        QTest::newRow("empty") << QString() << QStringLiteral("@support/guide-export");
        QTest::newRow("spaces") << QStringLiteral("   \n") << QStringLiteral("@support/guide-export");
        QTest::newRow("absolute with dot-dot") << QStringLiteral("  /srv/guides/../tutorial/./images/  ")
                                               << QStringLiteral("/srv/tutorial/images");
        QTest::newRow("relative") << QStringLiteral("out/../pictures") << QStringLiteral("@cwd/pictures");
    }
    void outputDirectory()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        TestHome home;
        home.setEnv("ORVALINK_GUIDE_EXPORT_DIR",
                    value == QLatin1String(kUnset) ? std::nullopt : std::optional<QString>(value));
        expected.replace(QStringLiteral("@support"), home.appSupport());
        expected.replace(QStringLiteral("@cwd"), QDir::currentPath());
        QCOMPARE(guide::resolveOutputDirectory(), expected);
    }
};

QTEST_GUILESS_MAIN(GuideEnvironmentTest)
#include "tst_guideenvironment.moc"
