#include "guide/GuideDemoData.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/account/AccountSession.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/texts/BrowsingTexts.h"

#include <QDateTime>
#include <QUuid>

namespace orvalink::guide {
namespace {

// A Linux machine's demo user "tovra" with the external disk "ux402" mounted where the desktop
// mounts it. The disk holds a home folder of another machine, "ux402cd", with the guide's target
// root in it.
const QString kHome = QStringLiteral("/home/tovra");
const QString kVolumesDirectory = QStringLiteral("/media/tovra");
const QString kVolume = kVolumesDirectory + QStringLiteral("/ux402");
const QString kGuideRoot = kVolume + QStringLiteral("/home/ux402cd/OrvalinkGuideRoot");
const QString kGuideVolume = QStringLiteral("GUIDE-SSD-01");
const QString kUser = QStringLiteral("tovra");
const QString kPathA = kHome + QStringLiteral("/.kilo");
// The build tool's output base: derived build data that grows large and is rebuilt at will.
const QString kPathB = kHome + QStringLiteral("/.cache/bazel");
const QString kPathC = kHome + QStringLiteral("/Downloads/ArchiveFootage");
const QString kPathD = kHome + QStringLiteral("/Documents/OldDesignExports");

// "B1000000-0000-0000-0000-000000000001" and so on: the letter names the kind of record.
QUuid fixedId(char kind, int number)
{
    return QUuid::fromString(QLatin1Char(kind) + QStringLiteral("1000000-0000-0000-0000-") +
                             QString::number(number).rightJustified(12, QLatin1Char('0')));
}

QString migratedTarget(const QString& source)
{
    return kGuideRoot + source;
}

AppConfig demoConfig(const AppConfig& loaded)
{
    AppConfig config;
    config.defaultScanRoot = kHome;
    config.defaultTargetRoot = kGuideRoot;
    config.minLargeSizeBytes = 10485760;
    config.anchorUser = kUser;
    config.maxConcurrentScanTasks = 4;
    config.uiLanguage = UILanguage::bilingual;
    config.unifiedTargetManagementEnabled = true;
    config.managedTargetRoot = kGuideRoot;
    config.showHiddenFiles = true;
    config.realtimeRefreshEnabled = false;
    config.strictModeEnabled = true;
    config.presentationPrivacyEnabled = true;
    config.smartMigrationEnabled = true;
    config.smartMigrationProfile = SmartMigrationProfile::wechat;
    // The address the loaded settings give (the default, or the environment's override): a demo
    // picture must never be the reason for a request to another address.
    config.backendBaseURL = loaded.backendBaseURL;
    return config;
}

QList<VolumeInfo> demoVolumes()
{
    return {
        VolumeInfo{fixedId('B', 1), QStringLiteral("Filesystem Root"), QStringLiteral("/"),
                   QStringLiteral("SYSTEM-UUID-01"), 256000000000, 31400000000, true, false, true},
        VolumeInfo{fixedId('B', 2), QStringLiteral("ux402"), kVolume, kGuideVolume, 1000000000000,
                   748000000000, false, true, true},
    };
}

QList<DirectoryEntry> demoEntries(const QDateTime& d0)
{
    const auto entry = [&](int number, const QString& name, const QString& path, qint64 size, int offset,
                           qint64 children, bool hidden) {
        return DirectoryEntry{fixedId('C', number),
                              name,
                              path,
                              EntryKind::directory,
                              size,
                              d0.addSecs(offset),
                              children,
                              false,
                              false,
                              hidden};
    };
    return {
        entry(1, QStringLiteral(".kilo"), kPathA, 17179869184, 0, 112, true),
        entry(2, QStringLiteral("bazel"), kPathB, 12347981824, 6000, 48, false),
        entry(3, QStringLiteral("ArchiveFootage"), kPathC, 9663676416, 12000, 16, false),
        entry(4, QStringLiteral("OldDesignExports"), kPathD, 7019921408, 18000, 80, false),
    };
}

QList<LinkMapping> demoMappings(const QDateTime& d0, const QDateTime& d1)
{
    const auto mapping = [&](int number, const QString& source, int createdOffset, int updatedOffset) {
        return LinkMapping{fixedId('D', number),
                           source,
                           migratedTarget(source),
                           kUser,
                           kGuideVolume,
                           d0.addSecs(createdOffset),
                           d1.addSecs(updatedOffset)};
    };
    return {mapping(1, kPathA, 0, 0), mapping(2, kPathB, 60, 120), mapping(3, kPathC, 120, 240)};
}

QList<MigrationTask> demoTasks(const QDateTime& d0, const QDateTime& d1)
{
    const auto task = [&](int number, const QString& source, int offset) {
        return MigrationTask{fixedId('E', number),   source,
                             migratedTarget(source), kUser,
                             kGuideVolume,           TaskStatus::completed,
                             d0.addSecs(offset),     d1.addSecs(offset),
                             std::nullopt,           std::nullopt};
    };
    return {task(1, kPathA, 0), task(2, kPathB, 70)};
}

// The published values of one step of the selection tour.
struct SelectionValues {
    double minSizeMB = 0;
    QString searchQuery;
    QSet<QString> selectedPaths;
    qint64 selectedSizeBytes = 0;
    QString focusedEntryPath;
    // The demo's own lines, the same in every language setting.
    QString infoMessage;
    QString backendStatusMessage;
};

SelectionValues selectionValues(SelectionStep step)
{
    switch (step) {
    case SelectionStep::start:
        return {500.0,
                QString(),
                {},
                0,
                kPathA,
                QStringLiteral("先从大目录开始筛选，再勾选要迁移的内容。"),
                QStringLiteral("Selection flow step 1 / 大目录候选筛选中")};
    case SelectionStep::filtered:
        return {1024.0,
                QStringLiteral("bazel"),
                {kPathB},
                12347981824,
                kPathB,
                QStringLiteral("用大小阈值和搜索把候选范围缩小到真正占空间的目录。"),
                QStringLiteral("Selection flow step 2 / 已筛出高价值迁移目录")};
    case SelectionStep::ready:
        return {500.0,
                QString(),
                {kPathA, kPathB, kPathC},
                39191527424,
                kPathC,
                QStringLiteral("确认目标盘后，直接点击“迁移所选”。"),
                QStringLiteral("Selection flow step 3 / 已选 3 项，准备迁移到外置硬盘")};
    }
    Q_UNREACHABLE();
}

} // namespace

std::unique_ptr<MainViewModel> makeDemoViewModel(const ViewModelFactory& make)
{
    std::unique_ptr<MainViewModel> model = make();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime d0 = now.addSecs(-86400);
    const QDateTime d1 = now.addSecs(-82800);

    ViewModelContext& context = ViewModelInternals::context(*model);
    // Privacy hides the demo user's folders as the window hides the user's own.
    context.presentation().setLocationsLookup(
        [] { return PrivacyLocations::of(kHome, kVolumesDirectory, kUser); });
    BrowsingState& browsing = context.browsing();
    const AppConfig config = demoConfig(browsing.config());
    browsing.setConfig(config);
    // The window reads these switches from their own published values, as after loading settings.
    browsing.setShowHiddenFiles(config.showHiddenFiles);
    browsing.setRealtimeRefreshEnabled(config.realtimeRefreshEnabled);
    browsing.setSmartMigrationEnabled(config.smartMigrationEnabled);
    browsing.setSmartMigrationProfile(config.smartMigrationProfile);
    browsing.setPathInput(kHome);
    browsing.setCurrentDirectoryPath(kHome);
    browsing.setCurrentDirectorySizeBytes(196483792896);
    browsing.setSelectedSizeBytes(46994137088);
    browsing.setSystemVolumeTotalBytes(256000000000);
    browsing.setSystemVolumeFreeBytes(31400000000);
    browsing.setTargetVolumeTotalBytes(1000000000000);
    browsing.setTargetVolumeFreeBytes(748000000000);
    browsing.setUndoModeActive(true);
    browsing.setShowAllFiles(true);
    browsing.setMinSizeMB(1024);
    browsing.setSortOption(SortOption::sizeDesc);
    browsing.setSearchQuery(QString());
    browsing.setAvailableVolumes(demoVolumes());
    browsing.setEntries(demoEntries(d0));
    browsing.setSelectedPaths({kPathA, kPathB, kPathC});
    // The information line as the start-up leaves it.
    context.activity().setInfoMessage(startupListedText());

    // The demo history stands in for the one the construction started to read.
    model->persisted().dropRunningReloads();
    HistoryState& history = context.history();
    const QList<LinkMapping> mappings = demoMappings(d0, d1);
    history.setMigratedMappingCount(mappings.size());
    history.setMigratedMappings(mappings);
    history.setUndoHistory(mappings);
    QList<MigrationPathRecord> recent;
    for (const LinkMapping& mapping : mappings)
        recent.append({QUuid::createUuid(), mapping.sourcePath, mapping.targetPath, mapping.updatedAt});
    history.setRecentMigrations(recent);
    const QList<MigrationTask> tasks = demoTasks(d0, d1);
    history.setTaskCount(tasks.size());
    history.setTasks(tasks);
    history.setLogs(
        {LogEntry{fixedId('F', 1), LogLevel::info, QStringLiteral("Guide snapshot loaded"), now}});

    AccountState& account = context.accountState();
    const BackendSession session{QStringLiteral("tovra.guide@example.com"),
                                 QStringLiteral("snap-entry-key-001"), QStringLiteral("snap-renew-key-0002"),
                                 now.addSecs(86400), d0};
    account.setBackendSession(session);
    // The account sheet names the history scope: the demo account's, as after its sign-in.
    context.setHistoryScope(historyScopeForEmail(session.email));
    account.setBackendStatusMessage(
        BilingualText::same(QStringLiteral("当前截图基于演示数据生成，用于官网图文教程。")));
    account.setLastMigrationSyncAt(now);
    return model;
}

void applySelectionStep(MainViewModel& model, SelectionStep step)
{
    const SelectionValues values = selectionValues(step);
    ViewModelContext& context = ViewModelInternals::context(model);
    BrowsingState& browsing = context.browsing();
    browsing.setMinSizeMB(values.minSizeMB);
    browsing.setSearchQuery(values.searchQuery);
    browsing.setSelectedPaths(values.selectedPaths);
    browsing.setSelectedSizeBytes(values.selectedSizeBytes);
    browsing.setFocusedEntryPath(values.focusedEntryPath);
    context.activity().setInfoMessage(BilingualText::same(values.infoMessage));
    context.accountState().setBackendStatusMessage(BilingualText::same(values.backendStatusMessage));
}

} // namespace orvalink::guide
