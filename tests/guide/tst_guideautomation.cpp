#include "GuideRunnerProcess.h"

#include <QElapsedTimer>
#include <QTest>

using namespace orvalink;
using orvalink::test::GuideRunnerWorld;

namespace {

const QString kEmail = QStringLiteral("smoke@example.org");
const QString kPassword = QStringLiteral("correct horse 7");
const QString kRegisterPath = QStringLiteral("/api/v1/auth/register");
const QString kLoginPath = QStringLiteral("/api/v1/auth/login");

const QStringList kSheetsOpened{QStringLiteral("[ui-smoke] opened account"),
                                QStringLiteral("[ui-smoke] opened feedback"),
                                QStringLiteral("[ui-smoke] opened settings")};

QStringList smokePass(bool withAccount)
{
    QStringList lines{QStringLiteral("[ui-smoke] bootstrap complete")};
    if (withAccount)
        lines.append(QStringLiteral("[ui-smoke] account badge ready"));
    lines += kSheetsOpened;
    lines.append(QStringLiteral("[ui-smoke] passed"));
    return lines;
}

} // namespace

class GuideAutomationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void smokeWithoutCredentialsOpensTheSheetsAndQuits()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        run.start({{QStringLiteral("ORVALINK_UI_SMOKE"), QStringLiteral("1")}});
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(run.stdoutLines(QStringLiteral("[")), smokePass(false));
        QVERIFY(run.stderrLines(QStringLiteral("[ui-smoke]")).isEmpty());
        QCOMPARE(run.requestsTo(kLoginPath) + run.requestsTo(kRegisterPath), 0);
    }

    void smokeSignsIn_data()
    {
        QTest::addColumn<bool>("accountExists");
        QTest::addColumn<QString>("registerValue"); // empty: unset
        QTest::addColumn<int>("registrations");
        QTest::addColumn<int>("logins");
        // A new account is registered and signed in by the registration itself.
        QTest::newRow("new account") << false << QString() << 1 << 1;
        // "false" still registers: only "0" turns it off. The registration fails for an existing
        // account and the plain sign-in that follows succeeds.
        QTest::newRow("existing account, register false") << true << QStringLiteral("false") << 1 << 1;
        QTest::newRow("existing account, register 0") << true << QStringLiteral(" 0 ") << 0 << 1;
    }
    void smokeSignsIn()
    {
        QFETCH(bool, accountExists);
        QFETCH(QString, registerValue);
        QFETCH(int, registrations);
        QFETCH(int, logins);
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        if (accountExists)
            run.service.addUser(kEmail, kPassword);
        QHash<QString, QString> variables{
            {QStringLiteral("ORVALINK_UI_SMOKE"), QStringLiteral("1")},
            {QStringLiteral("ORVALINK_UI_SMOKE_EMAIL"), QStringLiteral(" ") + kEmail},
            {QStringLiteral("ORVALINK_UI_SMOKE_PASSWORD"), kPassword}};
        if (!registerValue.isEmpty())
            variables.insert(QStringLiteral("ORVALINK_UI_SMOKE_REGISTER"), registerValue);
        run.start(variables);
        QVERIFY(run.waitForExit());
        QCOMPARE(run.stdoutLines(QStringLiteral("[")), smokePass(true));
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(run.requestsTo(kRegisterPath), registrations);
        QCOMPARE(run.requestsTo(kLoginPath), logins);
        QVERIFY(run.service.passwordOf(kEmail).has_value());
    }

    void smokeWithAWrongPasswordFails()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        run.service.addUser(kEmail, kPassword);
        run.start({{QStringLiteral("ORVALINK_UI_SMOKE"), QStringLiteral("1")},
                   {QStringLiteral("ORVALINK_UI_SMOKE_EMAIL"), kEmail},
                   {QStringLiteral("ORVALINK_UI_SMOKE_PASSWORD"), QStringLiteral("wrong")},
                   {QStringLiteral("ORVALINK_UI_SMOKE_REGISTER"), QStringLiteral("0")}});
        QVERIFY(run.waitForExit());
        QVERIFY(run.exitedNormally());
        QCOMPARE(run.exitCode(), 1);
        QCOMPARE(run.stderrLines(QStringLiteral("[ui-smoke]")),
                 QStringList{QStringLiteral("[ui-smoke] failed: authentication failed")});
        QCOMPARE(run.stdoutLines(QStringLiteral("[")),
                 QStringList{QStringLiteral("[ui-smoke] bootstrap complete")});
    }

    void switchesOtherThanOneDoNothing_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("true") << QStringLiteral("true");
        QTest::newRow("leading space") << QStringLiteral(" 1");
        QTest::newRow("trailing space") << QStringLiteral("1 ");
        QTest::newRow("zero padded") << QStringLiteral("01");
        QTest::newRow("yes") << QStringLiteral("yes");
    }
    void switchesOtherThanOneDoNothing()
    {
        QFETCH(QString, value);
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        run.service.addUser(kEmail, kPassword);
        run.start({{QStringLiteral("ORVALINK_UI_SMOKE"), value},
                   {QStringLiteral("ORVALINK_GUIDE_CAPTURE"), value},
                   {QStringLiteral("ORVALINK_UI_SMOKE_EMAIL"), kEmail},
                   {QStringLiteral("ORVALINK_UI_SMOKE_PASSWORD"), kPassword}},
                  {QStringLiteral("--quit-after-start")});
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 0);
        QVERIFY(run.stdoutLines(QStringLiteral("[")).isEmpty());
        QCOMPARE(run.requestsTo(kLoginPath) + run.requestsTo(kRegisterPath), 0);
    }

    // The ready marker reaches a script through a pipe at once, and the window stays up after it.
    void captureIsReadyAndKeepsRunning()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        run.service.addUser(kEmail, kPassword);
        run.start({{QStringLiteral("ORVALINK_GUIDE_CAPTURE"), QStringLiteral("1")},
                   {QStringLiteral("ORVALINK_UI_SMOKE_EMAIL"), kEmail},
                   {QStringLiteral("ORVALINK_UI_SMOKE_PASSWORD"), kPassword},
                   {QStringLiteral("ORVALINK_GUIDE_REGISTER"), QStringLiteral("No")},
                   {QStringLiteral("ORVALINK_GUIDE_SHEET"), QStringLiteral(" Settings ")},
                   {QStringLiteral("ORVALINK_GUIDE_SHOW_STORAGE_OVERVIEW"), QStringLiteral("off")}});
        QTRY_COMPARE_WITH_TIMEOUT(run.stdoutLines(QStringLiteral("[")),
                                  QStringList{QStringLiteral("[guide-capture] ready")}, 60000);
        QCOMPARE(run.process->state(), QProcess::Running);
        // The fallback credentials were used, without a registration.
        QCOMPARE(run.requestsTo(kLoginPath), 1);
        QCOMPARE(run.requestsTo(kRegisterPath), 0);
        run.process->kill();
        QVERIFY(run.waitForExit());
    }

    void captureWithoutPasswordMakesNoAccountRequest()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        run.start({{QStringLiteral("ORVALINK_GUIDE_CAPTURE"), QStringLiteral("1")},
                   {QStringLiteral("ORVALINK_GUIDE_EMAIL"), kEmail}});
        QTRY_COMPARE_WITH_TIMEOUT(run.stdoutLines(QStringLiteral("[")),
                                  QStringList{QStringLiteral("[guide-capture] ready")}, 60000);
        QCOMPARE(run.requestsTo(kLoginPath) + run.requestsTo(kRegisterPath), 0);
        run.process->kill();
        QVERIFY(run.waitForExit());
    }

    void captureThenSmoke()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        run.start({{QStringLiteral("ORVALINK_GUIDE_CAPTURE"), QStringLiteral("1")},
                   {QStringLiteral("ORVALINK_UI_SMOKE"), QStringLiteral("1")},
                   {QStringLiteral("ORVALINK_GUIDE_SHEET"), QStringLiteral("account")},
                   {QStringLiteral("ORVALINK_UI_SMOKE_EMAIL"), kEmail},
                   {QStringLiteral("ORVALINK_UI_SMOKE_PASSWORD"), kPassword}});
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 0);
        // Capture registers the new account and signs it in; smoke's own registration is refused
        // for the existing account, and the session capture left is the one it judges.
        QCOMPARE(run.stdoutLines(QStringLiteral("[")),
                 QStringList{QStringLiteral("[guide-capture] ready")} + smokePass(true));
        QCOMPARE(run.requestsTo(kRegisterPath), 2);
        QCOMPARE(run.requestsTo(kLoginPath), 1);
    }
};

QTEST_GUILESS_MAIN(GuideAutomationTest)
#include "tst_guideautomation.moc"
