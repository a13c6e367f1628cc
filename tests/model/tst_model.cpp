#include "model/AppConfig.h"
#include "model/AppPaths.h"
#include "model/DirectoryEntry.h"
#include "model/Formatters.h"
#include "model/JsonFields.h"
#include "model/LinkMapping.h"
#include "model/LocalHistoryScope.h"
#include "model/LogEntry.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"
#include "model/VolumeInfo.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QJsonDocument>
#include <QScopeGuard>
#include <QTest>
#include <cerrno>
#include <clocale>
#include <limits>
#include <sys/stat.h>
#include <tuple>
#include <utility>
#include <vector>

using namespace orvalink;

Q_DECLARE_METATYPE(orvalink::OrvalinkError::Case)

namespace {

QJsonObject parse(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

template <typename Record> bool decodes(const QJsonObject& object)
{
    try {
        Record::fromJson(object);
        return true;
    } catch (const json::DecodeError&) {
        return false;
    }
}

// The codes saved task records carry, each pinned to its case: a reordered enum or a renumbered
// code table would change what records already on disk mean.
const std::vector<std::pair<OrvalinkError::Case, const char*>> kStoredCodes{
    {OrvalinkError::Case::targetVolumeNotMounted, "E001"},
    {OrvalinkError::Case::insufficientSpace, "E002"},
    {OrvalinkError::Case::permissionDenied, "E003"},
    {OrvalinkError::Case::targetAlreadyExists, "E004"},
    {OrvalinkError::Case::sourceNotFound, "E005"},
    {OrvalinkError::Case::parentChildConflict, "E006"},
    {OrvalinkError::Case::sourceInUse, "E007"},
    {OrvalinkError::Case::moveFailed, "E008"},
    {OrvalinkError::Case::verifyFailed, "E009"},
    {OrvalinkError::Case::symlinkFailed, "E010"},
    {OrvalinkError::Case::rollbackFailed, "E011"},
    {OrvalinkError::Case::disallowedPath, "E012"},
    {OrvalinkError::Case::invalidAnchor, "E013"},
    {OrvalinkError::Case::undoTargetNotFound, "E014"},
    {OrvalinkError::Case::undoSourceOccupied, "E015"},
    {OrvalinkError::Case::undoMappingBroken, "E016"},
    {OrvalinkError::Case::cloudSnapshotDeviceMismatch, "E017"},
    {OrvalinkError::Case::sourceOccupiedAfterMove, "E018"},
    {OrvalinkError::Case::undoTargetUnverified, "E019"},
    {OrvalinkError::Case::historyNotWritten, "E020"},
};

const char* kRequiredConfig = R"({"defaultScanRoot":"/h","defaultTargetRoot":"/v/t","minLargeSizeBytes":5,)"
                              R"("anchorUser":"alice","maxConcurrentScanTasks":2})";

QJsonObject requiredConfigWith(const QString& key, const QJsonValue& value)
{
    QJsonObject object = parse(kRequiredConfig);
    if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return object;
}

} // namespace

class ModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void errorCodesAndTexts()
    {
        const OrvalinkError::Underlying io{QStringLiteral("Input/output error"), 5, false, {}};
        const std::vector<std::tuple<OrvalinkError, const char*, const char*>> cases{
            {OrvalinkError::targetVolumeNotMounted(), "E001", "Target volume is not mounted."},
            {OrvalinkError::insufficientSpace(1048576, 0), "E002",
             "Insufficient space. Required: 1048576, available: 0."},
            {OrvalinkError::permissionDenied("/p"), "E003", "Permission denied: /p."},
            {OrvalinkError::targetAlreadyExists("/t"), "E004", "Target path already exists: /t."},
            {OrvalinkError::sourceNotFound("/s"), "E005", "Source path not found: /s."},
            {OrvalinkError::parentChildConflict("/a", "/a/b"), "E006",
             "Selected directories include a parent-child conflict: /a -> /a/b."},
            {OrvalinkError::sourceInUse("/d", {}), "E007",
             "Cannot migrate /d because it is currently in use. Close the related app or shell session "
             "first."},
            {OrvalinkError::moveFailed("/a", "/b", io), "E008",
             "Failed to move /a to /b: Input/output error"},
            {OrvalinkError::verifyFailed("/t"), "E009", "Verification failed for: /t."},
            {OrvalinkError::symlinkFailed("/a", "/b", io), "E010",
             "Failed to create symlink /a -> /b: Input/output error"},
            {OrvalinkError::rollbackFailed("/a", io), "E011", "Rollback failed for /a: Input/output error"},
            {OrvalinkError::disallowedPath("/etc"), "E012", "Disallowed path: /etc."},
            {OrvalinkError::invalidAnchor("bob", "/x"), "E013", "Invalid source path for user bob: /x."},
            {OrvalinkError::undoTargetNotFound(), "E014", "No migration record available to undo."},
            {OrvalinkError::undoSourceOccupied("/s"), "E015",
             "Cannot undo because source path is occupied: /s."},
            {OrvalinkError::undoMappingBroken("/t"), "E016",
             "Cannot undo because mapped target path is missing: /t."},
            {OrvalinkError::cloudSnapshotDeviceMismatch("A", "B"), "E017",
             "Cloud snapshot belongs to another device. Expected A, received B."},
            {OrvalinkError::sourceOccupiedAfterMove("/s"), "E018",
             "Cannot create the migration link because the source path was recreated or is occupied again: "
             "/s."},
            {OrvalinkError::undoTargetUnverified("/t", "why"), "E019",
             "Cannot undo because the mapped target could not be confirmed as the migrated item: /t (why). "
             "Nothing was changed."},
            {OrvalinkError::historyNotWritten("/h/mappings.jsonl",
                                              {"No space left on device", ENOSPC, false, {}}),
             "E020", "Could not write the history file /h/mappings.jsonl: No space left on device"},
        };
        for (const auto& [error, code, text] : cases) {
            QCOMPARE(error.code(), QLatin1String(code));
            QCOMPARE(error.errorDescription(), QString::fromUtf8(text));
        }
    }

    void storedErrorCodes_data()
    {
        QTest::addColumn<OrvalinkError::Case>("errorCase");
        QTest::addColumn<QString>("code");
        for (const auto& [errorCase, code] : kStoredCodes)
            QTest::newRow(code) << errorCase << QString::fromLatin1(code);
    }

    void storedErrorCodes()
    {
        QFETCH(OrvalinkError::Case, errorCase);
        QFETCH(QString, code);
        QCOMPARE(OrvalinkError::codeOf(errorCase), code);
        QCOMPARE(OrvalinkError::caseOfCode(code), std::optional(errorCase));
    }

    // A case added without a pinned code above fails here.
    void everyCaseHasAPinnedCode()
    {
        const int caseCount = int(OrvalinkError::Case::caseCount);
        QCOMPARE(int(kStoredCodes.size()), caseCount);
        for (int value = 0; value < caseCount; ++value) {
            const auto pinned = std::count_if(kStoredCodes.begin(), kStoredCodes.end(), [&](const auto& row) {
                return row.first == OrvalinkError::Case(value);
            });
            QVERIFY2(pinned == 1, qPrintable(OrvalinkError::codeOf(OrvalinkError::Case(value))));
        }
    }

    void unknownErrorCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("empty") << QString();
        QTest::newRow("none yet") << "E021";
        QTest::newRow("zero") << "E000";
        QTest::newRow("lower case") << "e004";
        QTest::newRow("padded") << " E004";
        QTest::newRow("trailing space") << "E004 ";
        QTest::newRow("short") << "E4";
        QTest::newRow("long") << "E0004";
        QTest::newRow("message") << "E004: Target path already exists";
    }

    void unknownErrorCodes()
    {
        QFETCH(QString, code);
        QCOMPARE(OrvalinkError::caseOfCode(code), std::nullopt);
    }

    void sourceInUseLists_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<OrvalinkError::Operation>("operation");
        QTest::addColumn<QString>("text");
        const auto migration = OrvalinkError::Operation::migration;
        const auto undo = OrvalinkError::Operation::undo;
        QTest::newRow("five")
            << QStringList{"a", "b", "c", "d", "e"} << migration
            << "Cannot migrate /d because it is currently in use by: a, b, c, d, e. Close them first.";
        QTest::newRow("six")
            << QStringList{"a", "b", "c", "d", "e", "f"} << migration
            << "Cannot migrate /d because it is currently in use by: a, b, c, d, e and 1 more "
               "process(es). Close them first.";
        QTest::newRow("unsorted duplicates kept")
            << QStringList{"z", "z"} << migration
            << "Cannot migrate /d because it is currently in use by: z, z. Close them first.";
        QTest::newRow("undo")
            << QStringList{"vim", "postgres (user postgres)"} << undo
            << "Cannot undo the migration of /d because it is currently in use by: vim, postgres (user "
               "postgres). Close them first.";
        QTest::newRow("undo, no names")
            << QStringList{} << undo
            << "Cannot undo the migration of /d because it is currently in use. Close the related app or "
               "shell session first.";
    }
    void sourceInUseLists()
    {
        QFETCH(QStringList, names);
        QFETCH(OrvalinkError::Operation, operation);
        QFETCH(QString, text);
        const OrvalinkError error = OrvalinkError::sourceInUse(QStringLiteral("/d"), names, operation);
        QCOMPARE(error.errorDescription(), text);
        // Whatever it stopped, it is the same case with the same fields.
        QCOMPARE(error.code(), QStringLiteral("E007"));
        QCOMPARE(error.operation(), operation);
        QCOMPARE(error.path(), QStringLiteral("/d"));
        QCOMPARE(error.processes(), names);
    }

    void containerGuidance_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("guided");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("below containers")
            << "/Library/Containers/com.x" << true << "/Library/Containers/com.x";
        QTest::newRow("group containers")
            << "/Library/Group Containers/g/Data" << true << "/Library/Group Containers/g/Data";
        QTest::newRow("containers itself") << "/Library/Containers" << false << "/Library/Containers";
        QTest::newRow("dot segments") << "/Library/./Containers/a/../b" << true << "/Library/Containers/b";
    }
    void containerGuidance()
    {
        QFETCH(QString, relative);
        QFETCH(bool, guided);
        QFETCH(QString, quoted);
        test::TestHome home;
        const QString text = OrvalinkError::disallowedPath(home.home() + relative).errorDescription();
        if (guided) {
            QCOMPARE(text,
                     QStringLiteral("App sandbox container roots cannot be migrated directly: ") +
                         home.home() + quoted +
                         QStringLiteral(". Restore it first if needed, then only migrate deeper data "
                                        "folders such as Data/Documents or app-specific media caches."));
        } else {
            QCOMPARE(text,
                     QStringLiteral("Disallowed path: ") + home.home() + relative + QStringLiteral("."));
        }
    }

    void sizeString_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0 B";
        QTest::newRow("negative") << qint64(-5) << "0 B";
        QTest::newRow("1023") << qint64(1023) << "1023 B";
        QTest::newRow("1024") << qint64(1024) << "1.00 KB";
        QTest::newRow("1536") << qint64(1536) << "1.50 KB";
        QTest::newRow("10240") << qint64(10240) << "10.0 KB";
        QTest::newRow("102400") << qint64(102400) << "100 KB";
        QTest::newRow("just below 1 MiB") << qint64(1048575) << "1024 KB";
        QTest::newRow("1 MiB") << qint64(1048576) << "1.00 MB";
        QTest::newRow("10 MiB") << qint64(10485760) << "10.0 MB";
        QTest::newRow("1 GiB") << qint64(1073741824) << "1.00 GB";
        QTest::newRow("max") << std::numeric_limits<qint64>::max() << "8192 PB";
        // Exact binary halves round as printf does, to the even digit.
        QTest::newRow("1.125 KB") << qint64(1152) << "1.12 KB";
        QTest::newRow("1.375 KB") << qint64(1408) << "1.38 KB";
        QTest::newRow("10.25 KB") << qint64(10496) << "10.2 KB";
        QTest::newRow("100.5 KB") << qint64(102912) << "100 KB";
        QTest::newRow("101.5 KB") << qint64(103936) << "102 KB";
    }

    void fixedPoint_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("2.5, none") << 2.5 << 0 << "2";
        QTest::newRow("3.5, none") << 3.5 << 0 << "4";
        QTest::newRow("-2.5, none") << -2.5 << 0 << "-2";
        QTest::newRow("0.5, none") << 0.5 << 0 << "0";
        QTest::newRow("0.125, two") << 0.125 << 2 << "0.12";
        QTest::newRow("0.375, two") << 0.375 << 2 << "0.38";
        QTest::newRow("10.25, one") << 10.25 << 1 << "10.2";
        QTest::newRow("10.75, one") << 10.75 << 1 << "10.8";
        // 1.005 lies just below its decimal writing in binary.
        QTest::newRow("1.005, two") << 1.005 << 2 << "1.00";
        QTest::newRow("not a half") << 2.51 << 0 << "3";
        QTest::newRow("large") << 1e20 << 0 << "100000000000000000000";
        QTest::newRow("zero") << 0.0 << 2 << "0.00";
    }
    void fixedPoint()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QTEST(Formatters::fixedPoint(value, decimals), "text");
    }

    // The application runs in the user's locale; the text keeps its period.
    void fixedPointKeepsThePeriodInAnyLocale()
    {
        const QByteArray before = std::setlocale(LC_NUMERIC, nullptr);
        const auto restore = qScopeGuard([before] { std::setlocale(LC_NUMERIC, before.constData()); });
        bool found = false;
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
            found = found || std::setlocale(LC_NUMERIC, name);
        if (!found)
            QSKIP("no locale with a decimal comma is installed");
        QCOMPARE(std::localeconv()->decimal_point, ",");
        QCOMPARE(Formatters::fixedPoint(0.125, 2), QStringLiteral("0.12"));
        QCOMPARE(Formatters::sizeString(1536), QStringLiteral("1.50 KB"));
    }
    void sizeString()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(Formatters::sizeString(bytes), text);
    }

    void configDecodesWithDefaults()
    {
        const AppConfig config = AppConfig::fromJson(parse(kRequiredConfig));
        QCOMPARE(config.uiLanguage, UILanguage::bilingual);
        QVERIFY(config.unifiedTargetManagementEnabled);
        QVERIFY(!config.managedTargetRoot);
        QVERIFY(config.showHiddenFiles);
        QVERIFY(!config.realtimeRefreshEnabled);
        QVERIFY(config.strictModeEnabled);
        QVERIFY(!config.presentationPrivacyEnabled);
        QVERIFY(!config.smartMigrationEnabled);
        QCOMPARE(config.smartMigrationProfile, SmartMigrationProfile::other);
        QCOMPARE(config.backendBaseURL, defaultServiceEndpoint());
        QCOMPARE(config.minLargeSizeBytes, qint64(5));
    }

    void configDecodingFailures_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("unknown language") << "uiLanguage" << QJsonValue("fr") << false;
        QTest::newRow("language case") << "uiLanguage" << QJsonValue("ZH") << false;
        QTest::newRow("string bool") << "showHiddenFiles" << QJsonValue("true") << false;
        QTest::newRow("missing anchor") << "anchorUser" << QJsonValue(QJsonValue::Undefined) << false;
        QTest::newRow("null required") << "defaultScanRoot" << QJsonValue(QJsonValue::Null) << false;
        QTest::newRow("fractional size") << "minLargeSizeBytes" << QJsonValue(1.5) << false;
        QTest::newRow("unknown profile") << "smartMigrationProfile" << QJsonValue("Wechat") << false;
        QTest::newRow("null optional") << "managedTargetRoot" << QJsonValue(QJsonValue::Null) << true;
        QTest::newRow("unknown key ignored") << "somethingNew" << QJsonValue(3) << true;
        QTest::newRow("empty address kept") << "backendBaseURL" << QJsonValue("") << true;
    }
    void configDecodingFailures()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(bool, decodes);
        QCOMPARE(::decodes<AppConfig>(requiredConfigWith(key, value)), decodes);
    }

    void configEncodingRoundTrips()
    {
        AppConfig config = AppConfig::defaults(QStringLiteral("alice"));
        QCOMPARE(config.anchorUser, QStringLiteral("alice"));
        QVERIFY(!config.toJson().contains(QStringLiteral("managedTargetRoot")));
        QCOMPARE(config.toJson().size(), 14);
        config.managedTargetRoot = QStringLiteral("/v/root");
        config.minLargeSizeBytes = (qint64(1) << 53) + 1;
        config.uiLanguage = UILanguage::chinese;
        config.smartMigrationProfile = SmartMigrationProfile::wechat;
        const QByteArray text = QJsonDocument(config.toJson()).toJson();
        QVERIFY(text.contains("\"uiLanguage\": \"zh\""));
        QCOMPARE(AppConfig::fromJson(json::parseObject(text)), config);
    }

    void defaultScanRootIsHome()
    {
        test::TestHome home;
        QCOMPARE(AppConfig::defaults(QStringLiteral("alice")).defaultScanRoot, home.home());
        QCOMPARE(AppConfig::defaults(QStringLiteral("alice")).defaultTargetRoot,
                 home.volumes() + QStringLiteral("/ExtSSD/OrvalinkRoot"));
    }

    void isoDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("epoch");
        QTest::newRow("zulu") << "2024-03-01T12:00:05Z" << qint64(1709294405);
        QTest::newRow("offset") << "2024-03-01T14:00:05+02:00" << qint64(1709294405);
        QTest::newRow("compact offset") << "2024-03-01T07:00:05-0500" << qint64(1709294405);
        QTest::newRow("fraction refused") << "2024-03-01T12:00:05.250Z" << qint64(-1);
        QTest::newRow("no zone refused") << "2024-03-01T12:00:05" << qint64(-1);
        QTest::newRow("bad day refused") << "2024-02-30T12:00:05Z" << qint64(-1);
        QTest::newRow("digits refused") << "1709294405" << qint64(-1);
    }
    void isoDates()
    {
        QFETCH(QString, text);
        QFETCH(qint64, epoch);
        const auto date = json::parseIsoDate(text);
        QCOMPARE(date.has_value(), epoch >= 0);
        if (date)
            QCOMPARE(date->toSecsSinceEpoch(), epoch);
    }

    void entryJson()
    {
        const QJsonObject minimal =
            parse(R"({"id":"0f8fad5b-d9cb-469f-a165-70867728950e","name":"n","path":"/n",)"
                  R"("kind":"directory","sizeBytes":9007199254740993,)"
                  R"("modifiedAt":"2024-01-01T00:00:00Z","isHidden":null})");
        const DirectoryEntry entry = DirectoryEntry::fromJson(minimal);
        QCOMPARE(entry.sizeBytes, qint64(9007199254740993));
        QVERIFY(!entry.childrenCount);
        QVERIFY(!entry.isHidden && !entry.isSymbolicLink && !entry.isAliasFile);
        const QJsonObject written = entry.toJson();
        QVERIFY(!written.contains(QStringLiteral("childrenCount")));
        QCOMPARE(written.value(QStringLiteral("id")).toString(),
                 QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
        QCOMPARE(DirectoryEntry::fromJson(json::parseObject(json::compact(written))), entry);

        DirectoryEntry withCount = entry;
        withCount.childrenCount = 0;
        QVERIFY(!(withCount == entry));
        DirectoryEntry otherId = entry;
        otherId.id = QUuid::createUuid();
        QVERIFY(!(otherId == entry));

        QJsonObject folder = minimal;
        folder.insert(QStringLiteral("kind"), QStringLiteral("folder"));
        QVERIFY(!decodes<DirectoryEntry>(folder));
        QJsonObject wrongFlag = minimal;
        wrongFlag.insert(QStringLiteral("isAliasFile"), 1);
        QVERIFY(!decodes<DirectoryEntry>(wrongFlag));
    }

    void volumeRequiresAllKeys()
    {
        const VolumeInfo volume{QUuid::createUuid(), "Ext", "/v/Ext", "unknown", 10, 5, false, true, true};
        const QJsonObject object = volume.toJson();
        QCOMPARE(VolumeInfo::fromJson(object), volume);
        for (const QString& key : object.keys()) {
            QJsonObject lacking = object;
            lacking.remove(key);
            QVERIFY2(!decodes<VolumeInfo>(lacking), qPrintable(key));
        }
    }

    void historyRecordsJson()
    {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        MigrationTask task{QUuid::createUuid(),    "/s", "/t", "u", "unknown",
                           TaskStatus::rolledBack, {},   {},   {},  {}};
        const QJsonObject bare = task.toJson();
        for (const char* key : {"startedAt", "endedAt", "errorCode", "errorMessage"})
            QVERIFY(!bare.contains(QLatin1String(key)));
        QCOMPARE(bare.value(QStringLiteral("status")).toString(), QStringLiteral("rolledBack"));
        QCOMPARE(MigrationTask::fromJson(bare), task);
        task.startedAt = when;
        task.endedAt = when.addMSecs(1500);
        task.errorCode = QStringLiteral("E008");
        // Sub-second parts are dropped on writing, so such a record does not read back equal.
        const MigrationTask back = MigrationTask::fromJson(task.toJson());
        QCOMPARE(back.endedAt->toSecsSinceEpoch(), when.toSecsSinceEpoch() + 1);
        QVERIFY(!(back == task));

        for (const char* status : {"rolledback", "Completed"}) {
            QJsonObject changed = bare;
            changed.insert(QStringLiteral("status"), QLatin1String(status));
            QVERIFY(!decodes<MigrationTask>(changed));
        }

        const LinkMapping mapping{QUuid::createUuid(), "/s", "/t", "u", "unknown", when, when};
        QJsonObject noUpdate = mapping.toJson();
        noUpdate.remove(QStringLiteral("updatedAt"));
        QVERIFY(!decodes<LinkMapping>(noUpdate));
        QCOMPARE(LinkMapping::fromJson(mapping.toJson()), mapping);

        const LogEntry a{QUuid::createUuid(), LogLevel::warning, "m", when};
        const LogEntry b{QUuid::createUuid(), LogLevel::warning, "m", when};
        QVERIFY(!(a == b));
        QCOMPARE(LogEntry::fromJson(a.toJson()), a);
    }

    void scopeFolderNames_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "a.b@x.io"
                               << "a_b_x_io";
        QTest::newRow("upper case and blanks") << "  A.B@X.IO\n"
                                               << "a_b_x_io";
        QTest::newRow("underscore kept") << "a_b@x.io"
                                         << "a_b_x_io";
        QTest::newRow("empty") << ""
                               << "account";
        QTest::newRow("blank") << " \t\n"
                               << "account";
        QTest::newRow("precomposed accent") << QString::fromUtf8("\xc3\xa9@x") << "__x";
        QTest::newRow("combining accent") << QString::fromUtf8("e\xcc\x81@x") << "e__x";
        QTest::newRow("astral") << QString::fromUtf8("\xf0\x9f\x98\x80") << "_";
        QTest::newRow("plus and inner space") << "a+b c"
                                              << "a_b_c";
    }
    void scopeFolderNames()
    {
        QFETCH(QString, email);
        QFETCH(QString, folder);
        QCOMPARE(LocalHistoryScope::account(email).directoryName(), folder);
    }

    void guestScope()
    {
        QCOMPARE(LocalHistoryScope::guest().directoryName(), QStringLiteral("guest"));
        QVERIFY(LocalHistoryScope::guest() == LocalHistoryScope::guest());
        QVERIFY(!(LocalHistoryScope::account("A") == LocalHistoryScope::account("a")));
    }

    void appPathOverrides()
    {
        test::TestHome home;
        home.setEnv("ORVALINK_APP_SUPPORT_DIR", QStringLiteral("  /srv/x/../support \n"));
        home.setEnv("ORVALINK_LOG_DIR", home.logDir());
        QCOMPARE(AppPaths::applicationSupportDirectory(), QStringLiteral("/srv/support"));
        QCOMPARE(AppPaths::historyDirectory(), QStringLiteral("/srv/support/history"));
        QCOMPARE(AppPaths::logsFile(), home.logDir() + QStringLiteral("/app.log"));
        home.setEnv("ORVALINK_APP_SUPPORT_DIR", QStringLiteral("   "));
        home.setEnv("ORVALINK_LOG_DIR", std::nullopt);
        QCOMPARE(AppPaths::applicationSupportDirectory(),
                 home.home() + QStringLiteral("/.local/share/Orvalink"));
        QCOMPARE(AppPaths::logsFile(), home.home() + QStringLiteral("/.local/state/Orvalink/app.log"));
    }

    void ensureBaseDirectoriesMovesLegacyHistory()
    {
        test::TestHome home;
        test::TestTree tree(home.appSupport());
        tree.file(QStringLiteral("tasks.jsonl"), "legacy tasks\n");
        tree.file(QStringLiteral("mappings.jsonl"), "legacy mappings\n");
        tree.file(QStringLiteral("history/guest/mappings.jsonl"), "current mappings\n");
        ::chmod(home.appSupport().toLocal8Bit().constData(), 0755);

        AppPaths::ensureBaseDirectories();
        AppPaths::ensureBaseDirectories();

        QCOMPARE(tree.read(QStringLiteral("history/guest/tasks.jsonl")), QByteArray("legacy tasks\n"));
        QVERIFY(!QFile::exists(tree.path(QStringLiteral("tasks.jsonl"))));
        // An existing destination wins; the legacy file stays untouched.
        QCOMPARE(tree.read(QStringLiteral("mappings.jsonl")), QByteArray("legacy mappings\n"));
        QCOMPARE(tree.read(QStringLiteral("history/guest/mappings.jsonl")), QByteArray("current mappings\n"));
        QVERIFY(QFileInfo(home.logDir()).isDir());
    }

    // A legacy history file that is a relative link still leads to the same file from the folder
    // it is moved into.
    void legacyHistoryLinkStillLeadsToItsFile()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file(QStringLiteral("Sync/tasks.jsonl"), "legacy tasks\n");
        tree.symlink(QStringLiteral("support/tasks.jsonl"), QStringLiteral("../Sync/tasks.jsonl"));

        AppPaths::ensureBaseDirectories();

        const QString moved = tree.path(QStringLiteral("support/history/guest/tasks.jsonl"));
        QVERIFY(QFileInfo(moved).isSymLink());
        QCOMPARE(tree.read(QStringLiteral("support/history/guest/tasks.jsonl")),
                 QByteArray("legacy tasks\n"));
        QVERIFY(!QFileInfo(tree.path(QStringLiteral("support/tasks.jsonl"))).isSymLink());
        QCOMPARE(tree.read(QStringLiteral("Sync/tasks.jsonl")), QByteArray("legacy tasks\n"));
    }

    void ensureBaseDirectoriesCreatesPrivateFolders()
    {
        test::TestHome home;
        AppPaths::ensureBaseDirectories();
        for (const QString& dir : {home.appSupport(), AppPaths::historyDirectory(), home.logDir()}) {
            struct stat info {};
            QCOMPARE(::stat(dir.toLocal8Bit().constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, mode_t(0700));
        }
    }
};

QTEST_GUILESS_MAIN(ModelTest)
#include "tst_model.moc"
