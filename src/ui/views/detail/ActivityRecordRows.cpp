#include "ui/views/detail/ActivityRecordRows.h"

#include "ui/views/common/PathContextMenu.h"
#include "ui/views/detail/DetailLabels.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/TintedBox.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

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

// The entry's name on one line; a long one loses its middle.
QLabel* recordName(QWidget* row, const QString& path)
{
    ElidedLabel* name = elidedLabel(row, QStringLiteral("recordName"), TextStyle::Caption, Qt::ElideMiddle);
    name->setText(QFileInfo(path).fileName());
    return name;
}

// A row of buttons at the right edge of `row`'s layout (or of a new widget for `row` null), which
// wraps onto a second line where the column is narrow.
FlowLayout* rightAlignedButtons(QWidget* row)
{
    auto* host = new QWidget(row);
    host->setObjectName(QStringLiteral("recordActions"));
    auto* flow = new FlowLayout(host, 6, 6);
    flow->setLineAlignment(Qt::AlignRight);
    if (row)
        row->layout()->addWidget(host);
    return flow;
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

QWidget* recentMigrationRecordView(MainViewModel& viewModel, const MigrationPathRecord& record,
                                   QWidget* parent)
{
    TintedBox* row = recordFrame(QStringLiteral("migratedRecord"), QColor(), 0.08, 4, parent);
    auto* layout = static_cast<QVBoxLayout*>(row->layout());
    auto* head = new QHBoxLayout;
    head->addWidget(recordName(row, record.sourcePath), 1);
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
    auto* actions = rightAlignedButtons(row);
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
    return row;
}

QWidget* failedMigrationRecordView(MainViewModel& viewModel, const FailedMigrationRecord& record,
                                   QWidget* parent)
{
    const QColor red(255, 59, 48);
    TintedBox* row = recordFrame(QStringLiteral("failedRecord"), red, 0.07, 4, parent);
    auto* layout = static_cast<QVBoxLayout*>(row->layout());
    auto* head = new QHBoxLayout;
    head->addWidget(recordName(row, record.sourcePath));
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
    // The open buttons keep to the right edge, one below the other where the row is narrow.
    FlowLayout* opens = rightAlignedButtons(nullptr);
    actions->addWidget(opens->parentWidget(), 1);
    const QString source = record.sourcePath;
    QPushButton* open = actionButton(row, QStringLiteral("openSourceButton"),
                                     localizedText(viewModel, "进入该目录", "Open in Sidebar"));
    QObject::connect(open, &QPushButton::clicked, row,
                     [vm, source] { vm->navigation().goToDirectoryContext(source); });
    opens->addWidget(open);
    if (!record.targetPath.isEmpty()) {
        const QString target = record.targetPath;
        QPushButton* openTarget = actionButton(row, QStringLiteral("openTargetButton"),
                                               localizedText(viewModel, "查看目标", "Open Target"));
        QObject::connect(openTarget, &QPushButton::clicked, row,
                         [vm, target] { vm->navigation().goToDirectoryContext(target); });
        opens->addWidget(openTarget);
    }
    layout->addLayout(actions);
    return row;
}

} // namespace orvalink::ui
