#include "backend/AuthSessionStore.h"
#include "backend/DeviceIdentityStore.h"
#include "model/AppPaths.h"
#include "platform/PlatformError.h"
#include "support/FileModes.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>
#include <memory>

using namespace orvalink;
using namespace orvalink::test;

namespace {

BackendSession sampleSession()
{
    return BackendSession{QStringLiteral("anna@example.com"), QStringLiteral("access-1"),
                          QStringLiteral("refresh-1"),
                          QDateTime(QDate(2025, 3, 1), QTime(9, 30, 0, 750), QTimeZone::utc()),
                          QDateTime(QDate(2025, 3, 1), QTime(8, 30, 0, 250), QTimeZone::utc())};
}

bool isLowerCaseVersion4Uuid(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
    return pattern.match(text).hasMatch();
}

} // namespace

// The session file and the device identity file.
class BackendStoresTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestHome> m_home;

    static QString sessionPath()
    {
        return AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"));
    }
    static QString devicePath() { return AppPaths::applicationSupportFile(QStringLiteral("device_id.txt")); }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        QVERIFY(m_home->isValid());
    }

    void cleanup() { m_home.reset(); }

    void sessionRoundTripsOwnerOnly_data()
    {
        QTest::addColumn<int>("mask");
        QTest::newRow("umask 000") << 0;
        QTest::newRow("umask 022") << 022;
        QTest::newRow("umask 077") << 077;
    }

    void sessionRoundTripsOwnerOnly()
    {
        QFETCH(int, mask);
        const UmaskScope umask(static_cast<mode_t>(mask));
        const AuthSessionStore store(sessionPath());
        store.save(sampleSession());
        QCOMPARE(modeOf(sessionPath()), mode_t(0600));

        const QByteArray text = TestTree(m_home->appSupport()).read(QStringLiteral("auth_session.json"));
        const QStringList keys{"accessToken", "accessTokenExpiresAt", "email", "refreshToken", "signedInAt"};
        qsizetype previous = -1;
        for (const QString& key : keys) {
            const qsizetype at = text.indexOf('"' + key.toUtf8() + "\":");
            QVERIFY2(at > previous, qPrintable(key));
            previous = at;
        }
        QVERIFY(text.count('\n') >= 6);
        QVERIFY(text.contains("\"2025-03-01T09:30:00Z\""));
        QVERIFY(text.contains("\"2025-03-01T08:30:00Z\""));

        BackendSession expected = sampleSession();
        expected.accessTokenExpiresAt = expected.accessTokenExpiresAt.addMSecs(-750);
        expected.signedInAt = expected.signedInAt.addMSecs(-250);
        QCOMPARE(store.load(), std::optional<BackendSession>(expected));
    }

    void saveTightensAnOlderFile()
    {
        const AuthSessionStore store(sessionPath());
        store.save(sampleSession());
        QVERIFY(::chmod(sessionPath().toLocal8Bit().constData(), 0644) == 0);
        store.save(sampleSession());
        QCOMPARE(modeOf(sessionPath()), mode_t(0600));
    }

    void saveReportsAFileItCannotWrite()
    {
        TestTree tree(m_home->appSupport());
        tree.file(QStringLiteral("blocker"), "not a directory");
        const AuthSessionStore store(tree.path(QStringLiteral("blocker/auth_session.json")));
        QVERIFY_THROWS_EXCEPTION(platform::PlatformError, store.save(sampleSession()));
    }

    void unusableSessionFileMeansNoSession_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray whole = AuthSessionStore::encode(sampleSession());
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("{\"email\":");
        QTest::newRow("an array") << QByteArray("[]");
        QTest::newRow("missing key") << QByteArray(whole).replace("\"signedInAt\"", "\"signedIn\"");
        QTest::newRow("wrong type") << QByteArray(whole).replace("\"access-1\"", "17");
        QTest::newRow("fractional seconds") << QByteArray(whole).replace("09:30:00Z", "09:30:00.750Z");
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe\x00{");
    }

    void unusableSessionFileMeansNoSession()
    {
        QFETCH(QByteArray, content);
        TestTree(m_home->appSupport()).file(QStringLiteral("auth_session.json"), content);
        QCOMPARE(AuthSessionStore(sessionPath()).load(), std::nullopt);
        QCOMPARE(TestTree(m_home->appSupport()).read(QStringLiteral("auth_session.json")), content);
    }

    void unreadableSessionFileMeansNoSession()
    {
        // A directory in place of the file cannot be read, even by root.
        TestTree(m_home->appSupport()).dir(QStringLiteral("auth_session.json"));
        QCOMPARE(AuthSessionStore(sessionPath()).load(), std::nullopt);
    }

    void missingSessionFileMeansNoSession()
    {
        QCOMPARE(AuthSessionStore(sessionPath()).load(), std::nullopt);
        QVERIFY(!QFile::exists(sessionPath()));
    }

    void clearRemovesTheFileAndToleratesItsAbsence()
    {
        const AuthSessionStore store(sessionPath());
        store.save(sampleSession());
        store.clear();
        QVERIFY(!QFile::exists(sessionPath()));
        QCOMPARE(store.load(), std::nullopt);
        store.clear();
        QVERIFY(!QFile::exists(sessionPath()));
    }

    void fingerprintIsMadeOnceOwnerOnly()
    {
        const UmaskScope umask(0);
        const DeviceIdentityStore first(devicePath());
        const QString fingerprint = first.currentFingerprint();
        QVERIFY2(isLowerCaseVersion4Uuid(fingerprint), qPrintable(fingerprint));
        QCOMPARE(TestTree(m_home->appSupport()).read(QStringLiteral("device_id.txt")), fingerprint.toUtf8());
        QCOMPARE(modeOf(devicePath()), mode_t(0600));
        QCOMPARE(first.currentFingerprint(), fingerprint);
        QCOMPARE(DeviceIdentityStore(devicePath()).currentFingerprint(), fingerprint);
    }

    void storedFingerprint_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // empty: a new identifier replaces the content
        QTest::newRow("upper case with a line end")
            << QByteArray("9F1C2D3E-4A5B-4C6D-8E7F-0123456789AB\n") << "9F1C2D3E-4A5B-4C6D-8E7F-0123456789AB";
        QTest::newRow("own text with spaces") << QByteArray("  my-desk \r\n") << "my-desk";
        QTest::newRow("blank") << QByteArray(" \n\t ") << "";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("not UTF-8") << QByteArray("\xc3\x28 id") << "";
    }

    void storedFingerprint()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        TestTree(m_home->appSupport()).file(QStringLiteral("device_id.txt"), content);
        const QString fingerprint = DeviceIdentityStore(devicePath()).currentFingerprint();
        const QByteArray stored = TestTree(m_home->appSupport()).read(QStringLiteral("device_id.txt"));
        if (expected.isEmpty()) {
            QVERIFY(isLowerCaseVersion4Uuid(fingerprint));
            QCOMPARE(stored, fingerprint.toUtf8());
        } else {
            QCOMPARE(fingerprint, expected);
            QCOMPARE(stored, content);
        }
    }

    void unwritableIdentityFileThrows()
    {
        TestTree tree(m_home->appSupport());
        tree.file(QStringLiteral("blocker"), "not a directory");
        const DeviceIdentityStore store(tree.path(QStringLiteral("blocker/device_id.txt")));
        QVERIFY_THROWS_EXCEPTION(platform::PlatformError, store.currentFingerprint());
    }
};

QTEST_GUILESS_MAIN(BackendStoresTest)
#include "tst_backendstores.moc"
