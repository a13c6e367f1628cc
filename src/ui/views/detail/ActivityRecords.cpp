#include "ui/views/detail/ActivityRecords.h"

#include "ui/models/FailedRecordModel.h"
#include "ui/models/LeftBehindRecordModel.h"
#include "ui/models/RecordListModel.h"
#include "ui/models/RestoredPathModel.h"
#include "ui/views/common/PathContextMenu.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/detail/RecordListView.h"
#include "ui/views/detail/RecordRowTexts.h"
#include "ui/views/detail/StartAnswerHeadings.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr int kSectionMaxHeight = 140;

} // namespace

ActivityRecordSection::ActivityRecordSection(const QString& objectName, QAbstractItemModel* model,
                                             RecordRowDelegate::Layout layout, bool uniformRows,
                                             QWidget* parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    m_title = textLabel(this, objectName + QStringLiteral("Title"), TextStyle::Caption,
                        LabelOption::Secondary | LabelOption::Semibold);
    column->addWidget(m_title);
    m_note = textLabel(this, objectName + QStringLiteral("Note"), TextStyle::Caption, LabelOption::Wrap);
    m_note->hide();
    column->addWidget(m_note);
    m_list = new RecordListView(model, std::move(layout), uniformRows, objectName + QStringLiteral("Scroll"),
                                this);
    m_list->setMaximumContentHeight(kSectionMaxHeight);
    column->addWidget(m_list);
}

void ActivityRecordSection::setTitle(const QString& title)
{
    setTextIfChanged(m_title, title);
}

void ActivityRecordSection::setNote(const QString& note)
{
    setTextIfChanged(m_note, note);
    m_note->setVisible(!note.isEmpty());
}

ActivityRecords::ActivityRecords(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("activityRecords"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    MainViewModel* vm = &viewModel;
    m_migratedRecords = new MigrationRecordModel(this);
    m_restoredPaths = new RestoredPathModel(this);
    m_failedRecords = new FailedRecordModel(this);
    m_leftBehindRecords = new LeftBehindRecordModel(this);
    m_repairedLinks = new LinkRepairRecordModel(this);
    m_keptRecords = new KeptVersionsRecordModel(this);
    const MigrationRecordModel* migrated = m_migratedRecords;
    const RestoredPathModel* restored = m_restoredPaths;
    const FailedRecordModel* failed = m_failedRecords;
    const LeftBehindRecordModel* leftBehind = m_leftBehindRecords;
    const LinkRepairRecordModel* links = m_repairedLinks;
    const KeptVersionsRecordModel* kept = m_keptRecords;
    m_migrated = new ActivityRecordSection(
        QStringLiteral("migratedRecordsSection"), m_migratedRecords,
        [vm, migrated](const QModelIndex& index, const QRect& bounds, const RecordRowMetrics& metrics) {
            return layoutMigratedRecord(migratedRecordTexts(*vm, migrated->recordAt(index.row())), bounds,
                                        metrics);
        },
        true, this);
    m_restored = new ActivityRecordSection(
        QStringLiteral("restoredRecordsSection"), m_restoredPaths,
        [vm, restored](const QModelIndex& index, const QRect& bounds, const RecordRowMetrics& metrics) {
            return layoutRestoredRecord(restoredRecordTexts(*vm, restored->pathAt(index.row())), bounds,
                                        metrics);
        },
        true, this);
    m_leftBehind = new ActivityRecordSection(
        QStringLiteral("leftBehindRecordsSection"), m_leftBehindRecords,
        [vm, leftBehind](const QModelIndex& index, const QRect& bounds, const RecordRowMetrics& metrics) {
            return layoutLeftBehindRecord(leftBehindRecordTexts(*vm, leftBehind->recordAt(index.row()),
                                                                leftBehind->isRecoveryEnabled()),
                                          bounds, metrics);
        },
        false, this);
    m_failed = new ActivityRecordSection(
        QStringLiteral("failedRecordsSection"), m_failedRecords,
        [vm, failed](const QModelIndex& index, const QRect& bounds, const RecordRowMetrics& metrics) {
            return layoutFailedRecord(
                failedRecordTexts(*vm, failed->recordAt(index.row()), failed->isRecoveryEnabled()), bounds,
                metrics);
        },
        false, this);
    m_linkRepair = new ActivityRecordSection(
        QStringLiteral("linkRepairSection"), m_repairedLinks,
        [vm, links](const QModelIndex& index, const QRect& bounds, const RecordRowMetrics& metrics) {
            return layoutLinkRecord(linkRecordTexts(*vm, links->recordAt(index.row())), bounds, metrics);
        },
        true, this);
    m_keptVersions = new ActivityRecordSection(
        QStringLiteral("keptVersionsSection"), m_keptRecords,
        [vm, kept](const QModelIndex& index, const QRect& bounds, const RecordRowMetrics& metrics) {
            return layoutLeftBehindRecord(keptVersionsRecordTexts(*vm, kept->recordAt(index.row())), bounds,
                                          metrics);
        },
        false, this);
    for (ActivityRecordSection* section :
         {m_migrated, m_restored, m_leftBehind, m_failed, m_linkRepair, m_keptVersions}) {
        layout->addWidget(section);
        RecordListView* list = section->list();
        connect(list, &RecordListView::pathMenuRequested, this,
                [this, list](const QString& path, const QPoint& globalPos) {
                    // The menu acts on the raw path, whatever the line shows.
                    QMenu* menu = createPathContextMenu(m_viewModel, path, list);
                    menu->setAttribute(Qt::WA_DeleteOnClose);
                    menu->popup(globalPos);
                });
    }
    connect(m_restored->list(), &RecordListView::buttonClicked, this,
            &ActivityRecords::restoredButtonClicked);
    connect(m_failed->list(), &RecordListView::buttonClicked, this, &ActivityRecords::failedButtonClicked);
    connect(m_leftBehind->list(), &RecordListView::buttonClicked, this,
            &ActivityRecords::leftBehindButtonClicked);
    connect(m_keptVersions->list(), &RecordListView::buttonClicked, this,
            &ActivityRecords::keptVersionsButtonClicked);

    m_repairRow = new QWidget(this);
    m_repairRow->setObjectName(QStringLiteral("repairStatusRow"));
    auto* repair = new QHBoxLayout(m_repairRow);
    repair->setContentsMargins(0, 0, 0, 0);
    repair->setSpacing(10);
    // The row shows only while links are repaired.
    auto* spinner = new BusyIndicator(QStringLiteral("repairSpinner"), BusyIndicator::Slim, m_repairRow);
    spinner->show();
    repair->addWidget(spinner);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_repairTitle =
        textLabel(m_repairRow, QStringLiteral("repairTitle"), TextStyle::Subheadline, LabelOption::Semibold);
    m_repairSubtitle =
        textLabel(m_repairRow, QStringLiteral("repairSubtitle"), TextStyle::Caption, LabelOption::Secondary);
    texts->addWidget(m_repairTitle);
    texts->addWidget(m_repairSubtitle);
    repair->addLayout(texts);
    repair->addStretch(1);
    layout->addWidget(m_repairRow);

    m_refresh = new RefreshScheduler([this] { showState(); }, this);
    const HistoryState* history = &viewModel.history();
    m_refresh->watch(history, &HistoryState::recentMigrationsChanged);
    m_refresh->watch(history, &HistoryState::lastRestoredPathsChanged);
    m_refresh->watch(history, &HistoryState::recentFailedMigrationsChanged);
    m_refresh->watch(history, &HistoryState::undoLeftoversChanged);
    m_refresh->watch(history, &HistoryState::lastLinkRepairChanged);
    m_refresh->watch(history, &HistoryState::keptVersionsChanged);
    // Whether a remedy may start: while no disk work runs.
    m_refresh->watch(&viewModel.activity(), &ActivityState::diskWorkChanged);
    m_refresh->watch(&viewModel.presentation(), &Presentation::textsChanged);
    // Every row reads differently in another language or with privacy switched.
    connect(&viewModel.presentation(), &Presentation::textsChanged, this, [this] {
        m_migratedRecords->repaintAll();
        m_restoredPaths->repaintAll();
        m_failedRecords->repaintAll();
        m_leftBehindRecords->repaintAll();
        m_repairedLinks->repaintAll();
        m_keptRecords->repaintAll();
    });
    showState();
}

QWidget* ActivityRecords::failedSection() const
{
    return m_failed;
}

QWidget* ActivityRecords::leftBehindSection() const
{
    return m_leftBehind;
}

QWidget* ActivityRecords::linkRepairSection() const
{
    return m_linkRepair;
}

QWidget* ActivityRecords::keptVersionsSection() const
{
    return m_keptVersions;
}

void ActivityRecords::showState()
{
    const HistoryState& history = m_viewModel.history();
    m_migratedRecords->setRecords(history.recentMigrations());
    m_restoredPaths->setPaths(history.lastRestoredPaths());
    m_failedRecords->setRecords(history.recentFailedMigrations());
    m_leftBehindRecords->setRecords(history.undoLeftovers());
    // A remedy starts disk work: offered only while none runs.
    const bool recovery = m_viewModel.workflows().mayStartDiskWork();
    m_failedRecords->setRecoveryEnabled(recovery);
    m_leftBehindRecords->setRecoveryEnabled(recovery);
    m_migrated->setTitle(m_viewModel.presentation().localized({"迁移成功目录", "Migration Targets"}));
    m_restored->setTitle(m_viewModel.presentation().localized({"反悔成功路径", "Restored Paths"}));
    m_leftBehind->setTitle(
        m_viewModel.presentation().localized({"仍留在外置磁盘上的内容", "Left on the External Disk"}));
    m_failed->setTitle(m_viewModel.presentation().localized({"迁移失败项目", "Failed Migration Items"}));
    m_migrated->setVisible(m_migratedRecords->rowCount() > 0);
    m_restored->setVisible(m_restoredPaths->rowCount() > 0);
    m_leftBehind->setVisible(m_leftBehindRecords->rowCount() > 0);
    m_failed->setVisible(m_failedRecords->rowCount() > 0);

    const std::optional<LinkRepairReport>& repair = history.lastLinkRepair();
    m_repairedLinks->setRecords(repair ? repair->links : QList<LinkRepairRecord>());
    m_linkRepair->setTitle(m_viewModel.presentation().localized({"链接修复", "Link Repair"}));
    m_linkRepair->setNote(repair ? m_viewModel.presentation().localized(repair->summary) : QString());
    m_linkRepair->list()->setVisible(m_repairedLinks->rowCount() > 0);
    m_linkRepair->setVisible(repair.has_value());

    m_keptRecords->setRecords(history.keptVersions());
    m_keptVersions->setTitle(
        m_viewModel.presentation().localized(startAnswerHeading(history.keptVersions()).title));
    m_keptVersions->setVisible(m_keptRecords->rowCount() > 0);

    setTextIfChanged(m_repairTitle,
                     m_viewModel.presentation().localized({"正在修复链接", "Repairing Links"}));
    setTextIfChanged(m_repairSubtitle, m_viewModel.presentation().localized(
                                           {"已迁移项目的失效链接正在后台修复。",
                                            "Broken migration links are being repaired in the background."}));
    m_repairRow->setVisible(m_viewModel.activity().isRepairingLinks());
}

void ActivityRecords::restoredButtonClicked(int row, const QString& name)
{
    const QString path = m_restoredPaths->pathAt(row);
    if (name == QLatin1String("copyPathButton"))
        m_viewModel.presentation().copyPathToClipboard(path);
    else if (name == QLatin1String("openInSidebarButton"))
        m_viewModel.navigation().goToDirectoryContext(path);
    else if (name == QLatin1String("revealButton"))
        m_viewModel.presentation().revealInFileManager(path);
}

void ActivityRecords::failedButtonClicked(int row, const QString& name)
{
    const FailedMigrationRecord record = m_failedRecords->recordAt(row);
    if (name == QLatin1String("forceMigrateButton"))
        m_viewModel.workflows().presentMigrationConflictPrompt(record);
    else if (name == QLatin1String("terminateRetryButton"))
        startDetached(m_viewModel.workflows().retryFailedMigration(record, std::nullopt, true));
    else if (name == QLatin1String("openSourceButton"))
        m_viewModel.navigation().goToDirectoryContext(record.sourcePath);
    else if (name == QLatin1String("openTargetButton"))
        m_viewModel.navigation().goToDirectoryContext(record.targetPath);
}

void ActivityRecords::leftBehindButtonClicked(int row, const QString& name)
{
    const LeftBehindRecord record = m_leftBehindRecords->recordAt(row);
    if (name == QLatin1String("appendRestoreButton"))
        startDetached(
            m_viewModel.workflows().forceUndoMigration(record.mapping, ForcedUndoRestoreMode::append));
    else if (name == QLatin1String("openSourceButton"))
        m_viewModel.navigation().goToDirectoryContext(record.sourcePath);
    else if (name == QLatin1String("openTargetButton"))
        m_viewModel.navigation().goToDirectoryContext(record.targetPath);
}

void ActivityRecords::keptVersionsButtonClicked(int row, const QString& name)
{
    const KeptVersionsRecord record = m_keptRecords->recordAt(row);
    if (name == QLatin1String("openSourceButton"))
        m_viewModel.navigation().goToDirectoryContext(record.sourcePath);
    else if (name == QLatin1String("openTargetButton"))
        m_viewModel.navigation().goToDirectoryContext(record.targetPath);
}

} // namespace orvalink::ui
