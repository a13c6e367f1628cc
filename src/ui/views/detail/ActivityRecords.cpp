#include "ui/views/detail/ActivityRecords.h"

#include "ui/views/detail/ActivityRecordRows.h"
#include "ui/views/detail/DetailLabels.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr int kSectionMaxHeight = 140;

} // namespace

ActivityRecordSection::ActivityRecordSection(const QString& objectName, QWidget* parent) : QWidget(parent)
{
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_title = styledLabel(this, objectName + QStringLiteral("Title"), TextStyle::Caption, QFont::DemiBold);
    applySecondaryTextColor(m_title);
    layout->addWidget(m_title);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(objectName + QStringLiteral("Scroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_rows = new QWidget(m_scroll);
    m_rows->setObjectName(objectName + QStringLiteral("Rows"));
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(8);
    m_scroll->setWidget(m_rows);
    layout->addWidget(m_scroll);
}

void ActivityRecordSection::setTitle(const QString& title)
{
    setTextIfChanged(m_title, title);
}

void ActivityRecordSection::setRows(const QList<QWidget*>& rows)
{
    while (QLayoutItem* item = m_rowsLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    // Shown at once (a layout would only queue it), so the height below counts them.
    for (QWidget* row : rows) {
        m_rowsLayout->addWidget(row);
        row->show();
    }
    // The rows' own height up to the limit: a short list takes no more room than it needs.
    m_rowsLayout->activate();
    m_scroll->setFixedHeight(std::min(kSectionMaxHeight, m_rows->sizeHint().height()));
}

ActivityRecords::ActivityRecords(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("activityRecords"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    m_migrated = new ActivityRecordSection(QStringLiteral("migratedRecordsSection"), this);
    m_restored = new ActivityRecordSection(QStringLiteral("restoredRecordsSection"), this);
    m_failed = new ActivityRecordSection(QStringLiteral("failedRecordsSection"), this);
    for (QWidget* section : {m_migrated, m_restored, m_failed})
        layout->addWidget(section);

    m_repairRow = new QWidget(this);
    m_repairRow->setObjectName(QStringLiteral("repairStatusRow"));
    auto* repair = new QHBoxLayout(m_repairRow);
    repair->setContentsMargins(0, 0, 0, 0);
    repair->setSpacing(10);
    auto* spinner = new QProgressBar(m_repairRow);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(48, 6);
    repair->addWidget(spinner);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_repairTitle =
        styledLabel(m_repairRow, QStringLiteral("repairTitle"), TextStyle::Subheadline, QFont::DemiBold);
    m_repairSubtitle = secondaryLabel(m_repairRow, QStringLiteral("repairSubtitle"), TextStyle::Caption);
    texts->addWidget(m_repairTitle);
    texts->addWidget(m_repairSubtitle);
    repair->addLayout(texts);
    repair->addStretch(1);
    layout->addWidget(m_repairRow);
}

void ActivityRecords::refresh()
{
    const HistoryState& history = m_viewModel.history();
    const AppConfig& config = m_viewModel.browsing().config();
    const std::pair<UILanguage, bool> texts{config.uiLanguage, config.presentationPrivacyEnabled};
    const bool textsChanged = !m_built || texts != m_shownTexts;
    m_built = true;
    m_shownTexts = texts;

    if (textsChanged || history.recentMigrations() != m_shownMigrated) {
        m_shownMigrated = history.recentMigrations();
        QList<QWidget*> rows;
        for (const MigrationPathRecord& record : m_shownMigrated)
            rows.append(recentMigrationRecordView(m_viewModel, record, m_migrated->rowContainer()));
        m_migrated->setRows(rows);
    }
    if (textsChanged || history.lastRestoredPaths() != m_shownRestored) {
        m_shownRestored = history.lastRestoredPaths();
        QList<QWidget*> rows;
        for (const QString& path : m_shownRestored)
            rows.append(restoredPathView(m_viewModel, path, m_restored->rowContainer()));
        m_restored->setRows(rows);
    }
    if (textsChanged || history.recentFailedMigrations() != m_shownFailed) {
        m_shownFailed = history.recentFailedMigrations();
        QList<QWidget*> rows;
        for (const FailedMigrationRecord& record : m_shownFailed)
            rows.append(failedMigrationRecordView(m_viewModel, record, m_failed->rowContainer()));
        m_failed->setRows(rows);
    }
    // A failed item's recovery starts disk work: offered only while none runs.
    const bool mayStart = m_viewModel.workflows().mayStartDiskWork();
    for (const char* name : {"forceMigrateButton", "terminateRetryButton"}) {
        for (QPushButton* button :
             m_failed->rowContainer()->findChildren<QPushButton*>(QString::fromLatin1(name)))
            button->setEnabled(mayStart);
    }
    m_migrated->setTitle(localizedText(m_viewModel, "迁移成功目录", "Migration Targets"));
    m_restored->setTitle(localizedText(m_viewModel, "反悔成功路径", "Restored Paths"));
    m_failed->setTitle(localizedText(m_viewModel, "迁移失败项目", "Failed Migration Items"));
    m_migrated->setVisible(!m_shownMigrated.isEmpty());
    m_restored->setVisible(!m_shownRestored.isEmpty());
    m_failed->setVisible(!m_shownFailed.isEmpty());

    setTextIfChanged(m_repairTitle, localizedText(m_viewModel, "正在修复链接", "Repairing Links"));
    setTextIfChanged(m_repairSubtitle,
                     localizedText(m_viewModel, "已迁移项目的失效链接正在后台修复。",
                                   "Broken migration links are being repaired in the background."));
    m_repairRow->setVisible(m_viewModel.activity().isRepairingLinks());
}

} // namespace orvalink::ui
