#include "viewmodel/browsing/MigrationProgress.h"
#include "viewmodel/browsing/StorageFigures.h"

#include <QTest>
#include <limits>

using namespace orvalink;

namespace {

VolumeInfo volume(const QString& name, bool internal, bool removable, bool mounted = true)
{
    VolumeInfo info;
    info.name = name;
    info.isInternal = internal;
    info.isRemovable = removable;
    info.isMounted = mounted;
    return info;
}

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();

} // namespace

class StorageFiguresTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The empty folder an unplugged disk leaves is no volume either.
    void externalVolumesLeaveOutInternalFixedAndUnmountedOnes()
    {
        const QList<VolumeInfo> volumes{volume("system", true, false), volume("card", true, true),
                                        volume("network", false, false), volume("stick", false, true),
                                        volume("unplugged", false, true, false)};
        QStringList names;
        for (const VolumeInfo& v : externalVolumes(volumes))
            names.append(v.name);
        QCOMPARE(names, QStringList({"card", "network", "stick"}));
    }

    void usageRatio_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("free");
        QTest::addColumn<double>("ratio");
        QTest::newRow("unknown volume") << qint64(0) << qint64(0) << 0.0;
        QTest::newRow("negative total") << qint64(-5) << qint64(0) << 0.0;
        QTest::newRow("quarter used") << qint64(400) << qint64(300) << 0.25;
        QTest::newRow("full") << qint64(400) << qint64(0) << 1.0;
        QTest::newRow("more free than total") << qint64(400) << qint64(500) << 0.0;
        QTest::newRow("negative free") << qint64(400) << qint64(-100) << 1.0;
        QTest::newRow("extremes do not overflow") << kMax << kMin << 1.0;
    }

    void usageRatio()
    {
        QFETCH(qint64, total);
        QFETCH(qint64, free);
        QTEST(volumeUsageRatio(total, free), "ratio");
    }

    void selectedShare()
    {
        QCOMPARE(selectedInDirectoryRatio(0, 50), 0.0);
        QCOMPARE(selectedInDirectoryRatio(200, 50), 0.25);
        QCOMPARE(selectedInDirectoryRatio(200, 500), 1.0);
        QCOMPARE(selectedInDirectoryRatio(200, -5), 0.0);
    }

    void targetStatus()
    {
        QCOMPARE(targetVolumeStatus(false, 999).in(UILanguage::english), QStringLiteral("Not mounted"));
        QCOMPARE(targetVolumeStatus(false, 0).in(UILanguage::chinese), QStringLiteral("未挂载"));
        QCOMPARE(targetVolumeStatus(true, 1536).in(UILanguage::english),
                 QStringLiteral("Mounted, free: 1.50 KB"));
        QCOMPARE(targetVolumeStatus(true, 0).in(UILanguage::bilingual),
                 QStringLiteral("已挂载，可用空间：0 B Mounted, free: 0 B"));
    }

    void progress_data()
    {
        QTest::addColumn<qint64>("totalItems");
        QTest::addColumn<qint64>("processedItems");
        QTest::addColumn<qint64>("totalBytes");
        QTest::addColumn<qint64>("processedBytes");
        QTest::addColumn<double>("itemRatio");
        QTest::addColumn<QString>("itemPercent");
        QTest::addColumn<double>("byteRatio");
        QTest::addColumn<QString>("bytePercent");
        QTest::addColumn<QString>("count");
        QTest::newRow("idle") << qint64(0) << qint64(0) << qint64(0) << qint64(0) << 0.0 << "0%" << 0.0
                              << "0%"
                              << "0/0";
        QTest::newRow("three of ten")
            << qint64(10) << qint64(3) << qint64(1000) << qint64(250) << 0.3 << "30%" << 0.25 << "25%"
            << "3/10";
        QTest::newRow("halves away from zero")
            << qint64(8) << qint64(1) << qint64(8) << qint64(1) << 0.125 << "13%" << 0.125 << "13%"
            << "1/8";
        QTest::newRow("more done than planned")
            << qint64(4) << qint64(5) << qint64(100) << qint64(150) << 1.25 << "125%" << 1.0 << "100%"
            << "5/4";
        QTest::newRow("huge counts") << qint64(1) << kMax << qint64(1) << kMax << double(kMax)
                                     << "922337203685477580800%" << 1.0 << "100%"
                                     << "9223372036854775807/1";
    }

    void progress()
    {
        MigrationProgress progress;
        QFETCH(qint64, totalItems);
        QFETCH(qint64, processedItems);
        QFETCH(qint64, totalBytes);
        QFETCH(qint64, processedBytes);
        progress.totalItems = totalItems;
        progress.processedItems = processedItems;
        progress.totalBytes = totalBytes;
        progress.processedBytes = processedBytes;
        QTEST(progress.itemRatio(), "itemRatio");
        QTEST(progress.itemPercentText(), "itemPercent");
        QTEST(progress.byteRatio(), "byteRatio");
        QTEST(progress.bytePercentText(), "bytePercent");
        QTEST(progress.countText(), "count");
        QCOMPARE(progress.shouldShow(), totalItems > 0);
    }

    void bytesAndCurrentItem()
    {
        MigrationProgress progress;
        progress.processedBytes = 1048576;
        progress.totalBytes = 3221225472;
        QCOMPARE(progress.bytesText(), QStringLiteral("1.00 MB / 3.00 GB"));
        QCOMPARE(progress.currentItemName().in(UILanguage::english), QStringLiteral("Waiting"));
        QCOMPARE(progress.currentItemName().in(UILanguage::chinese), QStringLiteral("等待中"));
        progress.currentPath = QString();
        QCOMPARE(progress.currentItemName().in(UILanguage::english), QStringLiteral("Waiting"));
        progress.currentPath = QStringLiteral("/media/alice/Backup/Moved/Photos");
        QCOMPARE(progress.currentItemName().in(UILanguage::english), QStringLiteral("Photos"));
        progress.currentPath = QStringLiteral("/media/alice/Backup/Moved/");
        QCOMPARE(progress.currentItemName().in(UILanguage::english), QStringLiteral("Moved"));
    }

    void panelVisibility()
    {
        MigrationProgress progress;
        QVERIFY(!progress.shouldShow());
        progress.isUndoing = true;
        QVERIFY(progress.shouldShow());
        progress.isUndoing = false;
        progress.isMigrating = true;
        QVERIFY(progress.shouldShow());
        progress.isMigrating = false;
        progress.totalItems = 2; // a finished batch keeps its panel
        QVERIFY(progress.shouldShow());
    }

    void percentTexts()
    {
        QCOMPARE(percentText(0.005), QStringLiteral("1%"));
        QCOMPARE(percentText(0.004), QStringLiteral("0%"));
        QCOMPARE(percentText(-0.004), QStringLiteral("0%"));
        QCOMPARE(percentText(0.995), QStringLiteral("100%"));
    }
};

QTEST_GUILESS_MAIN(StorageFiguresTest)
#include "tst_storagefigures.moc"
