#include "model/AppConfig.h"
#include "store/ConfigStore.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QDir>
#include <QJsonDocument>
#include <QTest>

using namespace orvalink;

namespace {

QByteArray configText(const QString& extra)
{
    return ("{\"defaultScanRoot\":\"/h\",\"defaultTargetRoot\":\"/v/t\",\"minLargeSizeBytes\":5,"
            "\"anchorUser\":\"alice\",\"maxConcurrentScanTasks\":2" +
            extra + "}")
        .toUtf8();
}

QJsonObject fileObject(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

class ConfigStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingFileIsCreatedWithDefaults_data()
    {
        QTest::addColumn<QString>("override");
        QTest::addColumn<QString>("expectedAddress");
        QTest::newRow("no override") << QString() << defaultServiceEndpoint();
        QTest::newRow("override trimmed") << "  http://127.0.0.1:9911 \n"
                                          << "http://127.0.0.1:9911";
        QTest::newRow("loopback development override used as given") << "http://127.0.0.1:8080"
                                                                     << "http://127.0.0.1:8080";
    }
    void missingFileIsCreatedWithDefaults()
    {
        QFETCH(QString, override);
        QFETCH(QString, expectedAddress);
        test::TestHome home;
        if (!override.isEmpty())
            home.setEnv("ORVALINK_BACKEND_BASE_URL", override);
        ConfigStore store(home.appSupport() + QStringLiteral("/config.json"));
        const AppConfig config = store.load();
        QCOMPARE(config.backendBaseURL, expectedAddress);
        const QJsonObject written = fileObject(store.filePath());
        QCOMPARE(written.size(), 14);
        QVERIFY(!written.contains(QStringLiteral("managedTargetRoot")));
        QCOMPARE(written.value(QStringLiteral("backendBaseURL")).toString(), expectedAddress);
        QCOMPARE(written.value(QStringLiteral("defaultScanRoot")).toString(), home.home());
    }

    void storedValuesAreCorrected_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<qint64>("loadedSize");
        QTest::addColumn<QString>("loadedAddress");
        QTest::addColumn<bool>("rewritten");
        const QString official = defaultServiceEndpoint();
        const QString addr = QStringLiteral(",\"backendBaseURL\":\"%1\"");
        QTest::newRow("outdated threshold") << ",\"minLargeSizeBytes\":1073741824" + addr.arg(official)
                                            << qint64(10485760) << official << true;
        QTest::newRow("one below threshold") << ",\"minLargeSizeBytes\":1073741823" + addr.arg(official)
                                             << qint64(1073741823) << official << false;
        QTest::newRow("above threshold") << ",\"minLargeSizeBytes\":2147483648" + addr.arg(official)
                                         << qint64(2147483648) << official << false;
        QTest::newRow("missing address key") << QString() << qint64(5) << official << true;
        QTest::newRow("null address") << ",\"backendBaseURL\":null" << qint64(5) << official << false;
        QTest::newRow("loopback development") << addr.arg("localhost:8080") << qint64(5) << official << true;
        QTest::newRow("loopback development blanks")
            << addr.arg("  http://127.0.0.1:8080 ") << qint64(5) << official << true;
        QTest::newRow("empty address") << addr.arg("") << qint64(5) << official << false;
        QTest::newRow("trailing slash kept")
            << addr.arg("http://127.0.0.1:8080/") << qint64(5) << "http://127.0.0.1:8080/" << false;
    }
    void storedValuesAreCorrected()
    {
        QFETCH(QString, extra);
        QFETCH(qint64, loadedSize);
        QFETCH(QString, loadedAddress);
        QFETCH(bool, rewritten);
        test::TestHome home;
        test::TestTree tree(home.appSupport());
        // Later keys win in the JSON parser, so a repeated minLargeSizeBytes replaces the first.
        const QByteArray original = configText(extra);
        const QString path = tree.file(QStringLiteral("config.json"), original);
        const AppConfig config = ConfigStore(path).load();
        QCOMPARE(config.minLargeSizeBytes, loadedSize);
        QCOMPARE(config.backendBaseURL, loadedAddress);
        QCOMPARE(tree.read(QStringLiteral("config.json")) != original, rewritten);
        if (rewritten) {
            const QJsonObject written = fileObject(path);
            QCOMPARE(written.value(QStringLiteral("minLargeSizeBytes")).toInteger(), loadedSize);
            QCOMPARE(written.value(QStringLiteral("backendBaseURL")).toString(), loadedAddress);
        }
    }

    void overrideIsNotWrittenIntoExistingFile()
    {
        test::TestHome home;
        test::TestTree tree(home.appSupport());
        const QByteArray original = configText(",\"backendBaseURL\":\"https://stored.example\"");
        const QString path = tree.file(QStringLiteral("config.json"), original);
        home.setEnv("ORVALINK_BACKEND_BASE_URL", QStringLiteral(" http://127.0.0.1:7000 "));
        QCOMPARE(ConfigStore(path).load().backendBaseURL, QStringLiteral("http://127.0.0.1:7000"));
        QCOMPARE(tree.read(QStringLiteral("config.json")), original);
    }

    void undecodableFileIsKeptAsideBeforeTheFirstSave_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("malformed") << QByteArray("{ not json");
        QTest::newRow("array") << QByteArray("[1,2]");
        QTest::newRow("missing required key") << QByteArray("{\"defaultScanRoot\":\"/h\"}");
        QTest::newRow("unknown language") << configText(",\"uiLanguage\":\"fr\"");
    }
    void undecodableFileIsKeptAsideBeforeTheFirstSave()
    {
        QFETCH(QByteArray, content);
        test::TestHome home;
        test::TestTree tree(home.appSupport());
        const QString path = tree.file(QStringLiteral("config.json"), content);
        ConfigStore store(path);
        const AppConfig config = store.load();
        QCOMPARE(config, ConfigStore::applyEnvironmentOverrides(AppConfig::defaults(config.anchorUser)));
        QCOMPARE(tree.read(QStringLiteral("config.json")), content);

        store.save(config);
        const QStringList kept =
            QDir(home.appSupport()).entryList({QStringLiteral("config.json.invalid-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QVERIFY(kept.first().endsWith(QLatin1Char('Z')));
        QCOMPARE(tree.read(kept.first()), content);
        QCOMPARE(AppConfig::fromJson(fileObject(path)), config);

        // Only the first write preserves; the file is valid from then on.
        store.save(config);
        QCOMPARE(
            QDir(home.appSupport()).entryList({QStringLiteral("config.json.invalid-*")}, QDir::Files).size(),
            1);
    }

    // A FIFO where the configuration belongs is not waited on: defaults at once, and the first save
    // sets it aside like any file that could not be read.
    void whatIsNoFileIsSetAsideAtTheFirstSave()
    {
        test::TestHome home;
        test::TestTree tree(home.appSupport());
        const QString path = tree.fifo(QStringLiteral("config.json"));
        ConfigStore store(path);
        const AppConfig config = store.load();
        QCOMPARE(config, ConfigStore::applyEnvironmentOverrides(AppConfig::defaults(config.anchorUser)));

        store.save(config);
        const QFileInfoList kept =
            QDir(home.appSupport()).entryInfoList({QStringLiteral("config.json.invalid-*")}, QDir::System);
        QCOMPARE(kept.size(), 1);
        QVERIFY(!kept.first().isFile());
        QCOMPARE(AppConfig::fromJson(fileObject(path)), config);
    }

    void savedFileReadsBackEqual()
    {
        test::TestHome home;
        ConfigStore store(home.appSupport() + QStringLiteral("/config.json"));
        AppConfig config = store.load();
        config.managedTargetRoot = home.volumes() + QStringLiteral("/Disk/Root");
        config.uiLanguage = UILanguage::english;
        config.minLargeSizeBytes = (qint64(1) << 60) + 7;
        store.save(config);
        QCOMPARE(ConfigStore(store.filePath()).load(), config);
    }
};

QTEST_GUILESS_MAIN(ConfigStoreTest)
#include "tst_configstore.moc"
