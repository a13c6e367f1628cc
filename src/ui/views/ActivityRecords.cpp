#include "ui/views/ActivityRecords.h"

#include "ui/views/DetailLabels.h"
#include "ui/views/PathContextMenu.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/TintedBox.h"
#include "viewmodel/DetachedFlow.h"
#include "viewmodel/DiskWorkflows.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/Navigator.h"
#include "viewmodel/Presentation.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr int kSectionMaxHeight = 140;

QString localizedText(MainViewModel& viewModel, const char* zh, const char* en)
{
    return viewModel.presentation().localized(QString::fromUtf8(zh), QString::fromUtf8(en));
}

TintedBox* recordFrame(const QString& objectName, const QColor& tint, qreal alpha, int spacing,
                       QWidget* parent)
{
    auto* row = new TintedBox(tint, alpha, 10, parent);
    row->setObjectName(objectName);
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(spacing);
    return row;
}

// A monospace path line: the label (if any), ": " and the masked path; the menu acts on the raw path.
PathLine* pathLine(MainViewModel& viewModel, const QString& objectName, const QString& label,
                   const QString& path, int pixelSize, QWidget* parent)
{
    auto* line = new PathLine(viewModel, pixelSize, parent);
    line->setObjectName(objectName);
    const QString shown = viewModel.presentation().displayPath(path);
    line->setPath(path, label.isEmpty() ? shown : label + QStringLiteral(": ") + shown);
    return line;
}

QPushButton* actionButton(QWidget* parent, const QString& objectName, const QString& text)
{
    QPushButton* button = smallButton(parent, objectName);
    button->setText(text);
    return button;
}

QString statusBadgeText(MainViewModel& viewModel, TaskStatus status)
{
    switch (status) {
    case TaskStatus::failed:
        return localizedText(viewModel, "失败", "Failed");
    case TaskStatus::rolledBack:
        return localizedText(viewModel, "已回滚", "Rolled Back");
    default:
        return localizedText(viewModel, "异常", "Error");
    }
}

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

QWidget* recentMigrationRecordView(MainViewModel& viewModel, const MigrationPathRecord& record,
                                   QWidget* parent)
{
    TintedBox* row = recordFrame(QStringLiteral("migratedRecord"), QColor(), 0.08, 4, parent);
    auto* layout = static_cast<QVBoxLayout*>(row->layout());
    auto* head = new QHBoxLayout;
    QLabel* name = styledLabel(row, QStringLiteral("recordName"), TextStyle::Caption);
    name->setText(QFileInfo(record.sourcePath).fileName());
    head->addWidget(name);
    head->addStretch(1);
    QLabel* date = secondaryLabel(row, QStringLiteral("recordDate"), TextStyle::Caption);
    date->setText(viewModel.presentation().formatDate(record.migratedAt));
    head->addWidget(date);
    layout->addLayout(head);
    layout->addWidget(pathLine(viewModel, QStringLiteral("recordTarget"),
                               localizedText(viewModel, "目标目录", "Target"), record.targetPath, 10, row));
    layout->addWidget(pathLine(viewModel, QStringLiteral("recordUndoReturn"),
                               localizedText(viewModel, "反悔将返回到", "Undo returns to"), record.sourcePath,
                               10, row));
    return row;
}

QWidget* restoredPathView(MainViewModel& viewModel, const QString& path, QWidget* parent)
{
    TintedBox* row = recordFrame(QStringLiteral("restoredRecord"), QColor(52, 199, 89), 0.08, 6, parent);
    auto* layout = static_cast<QVBoxLayout*>(row->layout());
    layout->addWidget(pathLine(viewModel, QStringLiteral("restoredPath"), QString(), path, 11, row));
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    MainViewModel* vm = &viewModel;
    QPushButton* copy = actionButton(row, QStringLiteral("copyPathButton"),
                                     localizedText(viewModel, "复制路径", "Copy Path"));
    QObject::connect(copy, &QPushButton::clicked, row,
                     [vm, path] { vm->presentation().copyPathToClipboard(path); });
    QPushButton* open = actionButton(row, QStringLiteral("openInSidebarButton"),
                                     localizedText(viewModel, "进入该目录", "Open in Sidebar"));
    QObject::connect(open, &QPushButton::clicked, row,
                     [vm, path] { vm->navigation().goToDirectoryContext(path); });
    QPushButton* reveal =
        actionButton(row, QStringLiteral("revealButton"),
                     localizedText(viewModel, "在文件管理器中显示", "Show in File Manager"));
    QObject::connect(reveal, &QPushButton::clicked, row,
                     [vm, path] { vm->presentation().revealInFileManager(path); });
    for (QPushButton* button : {copy, open, reveal})
        actions->addWidget(button);
    layout->addLayout(actions);
    return row;
}

QWidget* failedMigrationRecordView(MainViewModel& viewModel, const FailedMigrationRecord& record,
                                   QWidget* parent)
{
    const QColor red(255, 59, 48);
    TintedBox* row = recordFrame(QStringLiteral("failedRecord"), red, 0.07, 4, parent);
    auto* layout = static_cast<QVBoxLayout*>(row->layout());
    auto* head = new QHBoxLayout;
    QLabel* name = styledLabel(row, QStringLiteral("recordName"), TextStyle::Caption);
    name->setText(QFileInfo(record.sourcePath).fileName());
    head->addWidget(name);
    auto* badge = new Chip(statusBadgeText(viewModel, record.status), row);
    badge->setObjectName(QStringLiteral("failedStatusBadge"));
    badge->setTint(red, 0.16);
    badge->setForeground(red);
    badge->setPadding(6, 2);
    head->addWidget(badge);
    head->addStretch(1);
    QLabel* date = secondaryLabel(row, QStringLiteral("recordDate"), TextStyle::Caption);
    date->setText(viewModel.presentation().formatDate(record.failedAt));
    head->addWidget(date);
    layout->addLayout(head);

    layout->addWidget(
        pathLine(viewModel, QStringLiteral("failedSource"), QString(), record.sourcePath, 10, row));
    if (!record.targetPath.isEmpty())
        layout->addWidget(pathLine(viewModel, QStringLiteral("failedPlannedTarget"),
                                   localizedText(viewModel, "计划目标", "Planned Target"), record.targetPath,
                                   10, row));
    // The engine's message names full paths; under presentation privacy they must be masked too.
    const QString reason = viewModel.presentation().sanitizedForPresentation(
        viewModel.workflows().localizedMigrationFailureMessage(record.errorMessage));
    QLabel* reasonLabel = styledLabel(row, QStringLiteral("failedReason"), TextStyle::Caption);
    reasonLabel->setText(localizedText(viewModel, "失败原因", "Reason") + QStringLiteral(": ") + reason);
    reasonLabel->setWordWrap(true);
    applyTextColor(reasonLabel, red);
    layout->addWidget(reasonLabel);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    MainViewModel* vm = &viewModel;
    const QString code = record.errorCode.value_or(QString());
    if (code == QLatin1String("E004") || code == QLatin1String("E018")) {
        QPushButton* force = actionButton(row, QStringLiteral("forceMigrateButton"),
                                          localizedText(viewModel, "强制迁移", "Force Migrate"));
        QObject::connect(force, &QPushButton::clicked, row,
                         [vm, record] { vm->workflows().presentMigrationConflictPrompt(record); });
        actions->addWidget(force);
    } else if (code == QLatin1String("E007")) {
        QPushButton* terminate =
            actionButton(row, QStringLiteral("terminateRetryButton"),
                         localizedText(viewModel, "终止占用程序并重试", "Terminate Holders and Retry"));
        QObject::connect(terminate, &QPushButton::clicked, row, [vm, record] {
            startDetached(vm->workflows().retryFailedMigration(record, std::nullopt, true));
        });
        actions->addWidget(terminate);
    }
    actions->addStretch(1);
    const QString source = record.sourcePath;
    QPushButton* open = actionButton(row, QStringLiteral("openSourceButton"),
                                     localizedText(viewModel, "进入该目录", "Open in Sidebar"));
    QObject::connect(open, &QPushButton::clicked, row,
                     [vm, source] { vm->navigation().goToDirectoryContext(source); });
    actions->addWidget(open);
    if (!record.targetPath.isEmpty()) {
        const QString target = record.targetPath;
        QPushButton* openTarget = actionButton(row, QStringLiteral("openTargetButton"),
                                               localizedText(viewModel, "查看目标", "Open Target"));
        QObject::connect(openTarget, &QPushButton::clicked, row,
                         [vm, target] { vm->navigation().goToDirectoryContext(target); });
        actions->addWidget(openTarget);
    }
    layout->addLayout(actions);
    return row;
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

    if (textsChanged || history.recentMigrationPaths() != m_shownMigrated) {
        m_shownMigrated = history.recentMigrationPaths();
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
    if (textsChanged || history.recentFailedMigrationPaths() != m_shownFailed) {
        m_shownFailed = history.recentFailedMigrationPaths();
        QList<QWidget*> rows;
        for (const FailedMigrationRecord& record : m_shownFailed)
            rows.append(failedMigrationRecordView(m_viewModel, record, m_failed->rowContainer()));
        m_failed->setRows(rows);
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
