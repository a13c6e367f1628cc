#include "ui/views/detail/MigrationProgressCard.h"

#include "model/Formatters.h"
#include "ui/views/common/PathLine.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/detail/PercentText.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Figures.h"
#include "viewmodel/texts/DiskWorkStepText.h"
#include "viewmodel/texts/PathText.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

QString stepBytesText(const DiskWorkStep& step)
{
    return Formatters::sizeString(step.doneBytes) + QStringLiteral(" / ") +
           Formatters::sizeString(step.totalBytes);
}

} // namespace

QString MigrationProgressCard::progressTitle(MainViewModel& viewModel, const BilingualText& untitled)
{
    const ActivityState& activity = viewModel.activity();
    if (const std::optional<DiskWorkStep>& step = activity.diskWorkStep())
        return viewModel.presentation().localized(diskWorkStepTitle(step->kind));
    return viewModel.presentation().localized(
        activity.currentOperationTitle().isEmpty() ? untitled : activity.currentOperationTitle());
}

QString MigrationProgressCard::progressPercentText(MainViewModel& viewModel)
{
    if (const std::optional<DiskWorkStep>& step = viewModel.activity().diskWorkStep()) {
        const std::optional<double> ratio = step->ratio();
        return ratio ? percentText(*ratio) : QString();
    }
    return percentText(viewModel.figures().migrationOverallProgressRatio());
}

MigrationProgressCard::MigrationProgressCard(MainViewModel& viewModel, QWidget* parent)
    : TintedBox(QPalette().color(QPalette::Highlight), 0.06, 12, parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("migrationProgressCard"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);

    auto* heading = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    // One line each; what does not fit ends in "…" and is whole in the tool tip.
    m_title = elidedLabel(this, QStringLiteral("progressTitle"), TextStyle::Subheadline, Qt::ElideRight,
                          LabelOption::Semibold);
    m_status = elidedLabel(this, QStringLiteral("progressStatus"), TextStyle::Caption, Qt::ElideRight,
                           LabelOption::Secondary);
    titles->addWidget(m_title);
    titles->addWidget(m_status);
    heading->addLayout(titles, 1);
    m_percent = textLabel(this, QStringLiteral("progressPercent"), TextStyle::Headline);
    applyTextColor(m_percent, accentColor(this));
    heading->addWidget(m_percent, 0, Qt::AlignTop);
    layout->addLayout(heading);

    auto* overall = new QVBoxLayout;
    overall->setSpacing(4);
    auto* overallHead = new QHBoxLayout;
    m_overallTitle = elidedLabel(this, QStringLiteral("overallTitle"), TextStyle::Caption, Qt::ElideRight,
                                 LabelOption::Semibold);
    m_overallPercent =
        textLabel(this, QStringLiteral("overallPercent"), TextStyle::Caption, LabelOption::Semibold);
    applyTextColor(m_overallPercent, accentColor(this));
    overallHead->addWidget(m_overallTitle, 1);
    overallHead->addWidget(m_overallPercent);
    overall->addLayout(overallHead);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("overallProgressBar"));
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    overall->addWidget(m_bar);
    m_subtitle = elidedLabel(this, QStringLiteral("overallSubtitle"), TextStyle::Caption, Qt::ElideRight,
                             LabelOption::Secondary);
    overall->addWidget(m_subtitle);
    layout->addLayout(overall);

    // The pills wrap onto a second line where the column is narrow.
    m_pillRow = new QWidget(this);
    auto* pills = new FlowLayout(m_pillRow, 8, 8);
    pills->addWidget(addPill(QStringLiteral("itemsPill"), m_itemsTitle, m_itemsValue));
    m_dataPill = addPill(QStringLiteral("dataPill"), m_dataTitle, m_dataValue);
    pills->addWidget(m_dataPill);
    m_resultPill = addPill(QStringLiteral("resultPill"), m_resultTitle, m_resultValue);
    pills->addWidget(m_resultPill);
    layout->addWidget(m_pillRow);

    m_current = elidedLabel(this, QStringLiteral("currentItem"), TextStyle::Caption, Qt::ElideMiddle,
                            LabelOption::Secondary);
    layout->addWidget(m_current);
    m_currentPath = new PathLine(viewModel, this, 11);
    m_currentPath->setObjectName(QStringLiteral("currentItemPath"));
    applySecondaryTextColor(m_currentPath);
    layout->addWidget(m_currentPath);
}

QWidget* MigrationProgressCard::addPill(const QString& objectName, QLabel*& title, QLabel*& value)
{
    auto* pill = new TintedBox(QColor(), 0.08, 10, m_pillRow);
    pill->setObjectName(objectName);
    auto* layout = new QVBoxLayout(pill);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(2);
    title = textLabel(pill, objectName + QStringLiteral("Title"), TextStyle::Caption,
                      LabelOption::Secondary | LabelOption::Semibold);
    value = textLabel(pill, objectName + QStringLiteral("Value"), TextStyle::Caption);
    layout->addWidget(title);
    layout->addWidget(value);
    return pill;
}

void MigrationProgressCard::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const ActivityState& activity = m_viewModel.activity();
    const Figures& figures = m_viewModel.figures();
    const std::optional<DiskWorkStep>& step = activity.diskWorkStep();
    const bool recovery = activity.diskWork() == DiskWork::recovery;
    const bool bytes = step ? step->totalBytes >= 1 : activity.migrationTotalBytes() >= 1;
    const QString bytesText = step ? stepBytesText(*step) : figures.migrationProgressBytesText();
    const QString percent = progressPercentText(m_viewModel);
    const QString results = texts.localized({"成功", "Success"}) + QLatin1Char(' ') +
                            QString::number(activity.migrationSucceededItems()) + QStringLiteral(" · ") +
                            texts.localized({"失败", "Failed"}) + QLatin1Char(' ') +
                            QString::number(activity.migrationFailedItems());

    setTextIfChanged(m_title, progressTitle(m_viewModel, {"迁移进度", "Migration Progress"}));
    setTextIfChanged(m_status, recovery
                                   ? texts.localized(recoveryCountText(activity.migrationProcessedItems(),
                                                                       activity.migrationTotalItems()))
                                   : results);
    setTextIfChanged(m_percent, percent);
    setTextIfChanged(m_overallTitle, texts.localized(step ? BilingualText("当前步骤进度", "Step Progress")
                                                          : BilingualText("整体进度", "Overall Progress")));
    setTextIfChanged(m_overallPercent, percent);
    // A step without a known total runs without a figure.
    const std::optional<double> ratio =
        step ? step->ratio() : std::optional<double>(figures.migrationOverallProgressRatio());
    m_bar->setRange(0, ratio ? 1000 : 0);
    m_bar->setValue(ratio ? static_cast<int>(*ratio * 1000) : 0);
    QString subtitle =
        texts.localized({"项目", "Items"}) + QLatin1Char(' ') + figures.migrationProgressCountText();
    if (bytes)
        subtitle += QStringLiteral(" · ") + texts.localized({"数据", "Data"}) + QLatin1Char(' ') + bytesText;
    setTextIfChanged(m_subtitle, subtitle);

    setTextIfChanged(m_itemsTitle, texts.localized({"项目", "Items"}));
    setTextIfChanged(m_itemsValue, figures.migrationProgressCountText());
    m_dataPill->setVisible(bytes);
    setTextIfChanged(m_dataTitle, texts.localized({"数据", "Data"}));
    setTextIfChanged(m_dataValue, bytesText);
    // The start-up's operations have no success or failure to count while they run.
    m_resultPill->setVisible(!recovery);
    setTextIfChanged(m_resultTitle, texts.localized({"结果", "Result"}));
    setTextIfChanged(m_resultValue, results);

    const std::optional<QString>& path =
        step ? std::optional<QString>(step->path) : activity.migrationCurrentPath();
    setTextIfChanged(m_current,
                     step ? texts.localized(diskWorkStepLine(step->kind, lastPathComponent(step->path)))
                          : texts.localized({"当前处理", "Current"}) + QStringLiteral(": ") +
                                figures.migrationCurrentItemName());
    const bool hasPath = path && !path->isEmpty();
    m_currentPath->setVisible(hasPath);
    if (hasPath)
        m_currentPath->setPath(*path, texts.displayPath(*path));
}

} // namespace orvalink::ui
