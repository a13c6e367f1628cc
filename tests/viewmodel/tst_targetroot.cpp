#include "viewmodel/context/TargetRootNormalization.h"

#include <QDir>
#include <QTest>

using namespace orvalink;

namespace {

AppConfig configWith(const QString& target, std::optional<QString> managed, bool unified)
{
    AppConfig config = AppConfig::defaults(QStringLiteral("alice"));
    config.defaultTargetRoot = target;
    config.managedTargetRoot = std::move(managed);
    config.unifiedTargetManagementEnabled = unified;
    return config;
}

} // namespace

class TargetRootTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalization_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<std::optional<QString>>("managed");
        QTest::addColumn<bool>("unified");
        QTest::addColumn<QString>("normalizedTarget");
        QTest::addColumn<std::optional<QString>>("normalizedManaged");
        QTest::addColumn<bool>("locked");
        const std::optional<QString> none;
        QTest::newRow("off: roots standardized")
            << "/media/a/Disk/./Root/" << std::optional<QString>(" /media/a/Disk/M/../N/ ") << false
            << "/media/a/Disk/Root" << std::optional<QString>("/media/a/Disk/N") << false;
        QTest::newRow("off: blank managed root dropped")
            << "/media/a/Disk/Root" << std::optional<QString>(" \n") << false << "/media/a/Disk/Root" << none
            << false;
        QTest::newRow("off: no managed root")
            << "/media/a/Disk/Root" << none << false << "/media/a/Disk/Root" << none << false;
        QTest::newRow("on: managed root wins")
            << "/media/a/Old" << std::optional<QString>("/media/a/Disk/Managed/") << true
            << "/media/a/Disk/Managed" << std::optional<QString>("/media/a/Disk/Managed") << true;
        // Only the user's pick of a target records the first one (SettingsActions::setTargetRoot).
        QTest::newRow("on: no managed root, not locked")
            << "/media/a/Disk//Root/" << none << true << "/media/a/Disk/Root" << none << false;
        QTest::newRow("on: blank managed root, not locked")
            << "/media/a/Disk/Root" << std::optional<QString>("  ") << true << "/media/a/Disk/Root" << none
            << false;
        // Earlier versions stored the built-in placeholder as the first target at start-up.
        const QString builtIn = builtInTargetRoot();
        QTest::newRow("on: the placeholder recorded earlier locks nothing")
            << builtIn << std::optional<QString>(builtIn + "/") << true << builtIn << none << false;
        QTest::newRow("off: the placeholder recorded earlier is dropped")
            << "/media/a/Disk/Root" << std::optional<QString>(builtIn) << false << "/media/a/Disk/Root"
            << none << false;
        QTest::newRow("on: a chosen root beside the placeholder is kept")
            << builtIn << std::optional<QString>("/media/a/Chosen") << true << "/media/a/Chosen"
            << std::optional<QString>("/media/a/Chosen") << true;
        QTest::newRow("tilde is not expanded")
            << "~/Target" << none << false << QDir::currentPath() + "/~/Target" << none << false;
    }

    void normalization()
    {
        QFETCH(QString, target);
        QFETCH(std::optional<QString>, managed);
        QFETCH(bool, unified);
        const AppConfig input = configWith(target, managed, unified);
        const AppConfig normalized = normalizedTargetConfig(input);
        QTEST(normalized.defaultTargetRoot, "normalizedTarget");
        QTEST(normalized.managedTargetRoot, "normalizedManaged");
        QTEST(isUnifiedTargetLocked(normalized), "locked");
        QCOMPARE(effectiveTargetRoot(normalized), normalized.defaultTargetRoot);
        // Everything else is copied, and normalizing again changes nothing.
        AppConfig rest = normalized;
        rest.defaultTargetRoot = input.defaultTargetRoot;
        rest.managedTargetRoot = input.managedTargetRoot;
        QCOMPARE(rest, input);
        QCOMPARE(normalizedTargetConfig(normalized), normalized);
    }

    void derivedValuesOfAnUnnormalizedRecord()
    {
        AppConfig config = configWith("/t/default", std::optional<QString>(""), true);
        QVERIFY(!hasManagedTargetRoot(config));
        QVERIFY(!isUnifiedTargetLocked(config));
        QCOMPARE(effectiveTargetRoot(config), QStringLiteral("/t/default"));
        config.managedTargetRoot = QStringLiteral(" ");
        QVERIFY(hasManagedTargetRoot(config)); // not trimmed
        QCOMPARE(effectiveTargetRoot(config), QStringLiteral(" "));
        config.unifiedTargetManagementEnabled = false;
        QVERIFY(hasManagedTargetRoot(config));
        QVERIFY(!isUnifiedTargetLocked(config));
        QCOMPARE(effectiveTargetRoot(config), QStringLiteral("/t/default"));
    }

    void serviceAddress_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("normalized");
        const QString fallback = defaultServiceEndpoint();
        QTest::newRow("blank") << " \n" << fallback;
        QTest::newRow("bare host and port") << "example.org:9000"
                                            << "http://example.org:9000";
        QTest::newRow("two trailing slashes lose one") << "https://example.org//"
                                                       << "https://example.org/";
        QTest::newRow("https kept") << " https://example.org/api/ "
                                    << "https://example.org/api";
        QTest::newRow("loopback address") << "http://127.0.0.1:8080/" << fallback;
        QTest::newRow("loopback address without scheme") << "127.0.0.1:8080" << fallback;
        QTest::newRow("loopback address on another port") << "127.0.0.1:8081"
                                                          << "http://127.0.0.1:8081";
        QTest::newRow("loopback host name kept") << "localhost:8080"
                                                 << "http://localhost:8080";
    }

    void serviceAddress()
    {
        QFETCH(QString, value);
        QTEST(normalizedBackendBaseURL(value), "normalized");
        AppConfig config = AppConfig::defaults(QStringLiteral("alice"));
        config.backendBaseURL = value;
        QTEST(normalizedTargetConfig(config).backendBaseURL, "normalized");
    }
};

QTEST_GUILESS_MAIN(TargetRootTest)
#include "tst_targetroot.moc"
