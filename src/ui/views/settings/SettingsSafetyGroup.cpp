#include "ui/views/settings/SettingsSafetyGroup.h"

#include "ui/views/common/PathContextMenu.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/SmallButton.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/texts/Presentation.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr int kListMaximumHeight = 140;
constexpr int kRowPixelSize = 11;

} // namespace

SettingsSafetyGroup::SettingsSafetyGroup(MainViewModel& viewModel, QWidget* parent)
    : GroupPanel(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("safetyGroup"));
    QVBoxLayout* layout = contentLayout();
    layout->setSpacing(10);
    // The switch and the two buttons wrap onto a second line where the sheet is narrow.
    auto* controls = new QWidget(this);
    controls->setObjectName(QStringLiteral("safetyControls"));
    auto* row = new FlowLayout(controls, 8, 6);
    m_strict = new QCheckBox(controls);
    m_strict->setObjectName(QStringLiteral("strictModeToggle"));
    m_adminAuth = smallButton(controls, QStringLiteral("adminAuthButton"));
    m_toggleList = smallButton(controls, QStringLiteral("blockedPathsButton"));
    m_busy = new BusyIndicator(QStringLiteral("adminAuthBusyIndicator"), BusyIndicator::Standard, controls);
    for (QWidget* control : {static_cast<QWidget*>(m_strict), static_cast<QWidget*>(m_adminAuth),
                             static_cast<QWidget*>(m_toggleList), static_cast<QWidget*>(m_busy)})
        row->addWidget(control);
    layout->addWidget(controls);

    m_list = new QScrollArea(this);
    m_list->setObjectName(QStringLiteral("blockedPathsList"));
    m_list->setWidgetResizable(true);
    m_list->setFrameShape(QFrame::NoFrame);
    auto* rowsHost = new QWidget;
    auto* rows = new QVBoxLayout(rowsHost);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(4);
    rows->addStretch(1);
    m_rowList.attach(rows);
    m_list->setWidget(rowsHost);
    m_list->hide();
    layout->addWidget(m_list);

    m_explanation = textLabel(this, QStringLiteral("strictModeExplanation"), TextStyle::Caption,
                              LabelOption::Secondary | LabelOption::Wrap);
    m_legend = textLabel(this, QStringLiteral("blockedPathsLegend"), TextStyle::Caption,
                         LabelOption::Secondary | LabelOption::Wrap);
    QFont legendFont = m_legend->font();
    legendFont.setPixelSize(legendFont.pixelSize() - 1);
    m_legend->setFont(legendFont);
    layout->addWidget(m_explanation);
    layout->addWidget(m_legend);

    connect(m_strict, &QCheckBox::clicked, this,
            [&viewModel](bool checked) { viewModel.settings().setStrictModeEnabled(checked); });
    connect(m_adminAuth, &QPushButton::clicked, this,
            [this] { startDetached(m_viewModel.workflows().requestAdministratorAuthorization()); });
    connect(m_toggleList, &QPushButton::clicked, this, [this] {
        m_showBlockedPaths = !m_showBlockedPaths;
        Q_EMIT blockedPathsToggled();
    });
}

void SettingsSafetyGroup::updateBlockedPaths()
{
    // Fetched again at every refresh: the list follows the home folder and the volumes in force.
    // A closed list holds no rows.
    const QStringList paths =
        m_showBlockedPaths ? m_viewModel.settings().strictModeBlockedPaths() : QStringList();
    QWidget* host = m_list->widget();
    m_rowList.sync(
        paths, [](const QString& path) { return path; },
        [host](const QString&) {
            // A path wider than the list loses its middle rather than scrolling the list sideways.
            auto* row = new SelectablePathField(host, kRowPixelSize, SelectablePathField::Placement::Flush);
            row->setObjectName(QStringLiteral("blockedPathRow"));
            return row;
        },
        [this](SelectablePathField* row, const QString& path) {
            row->setCopyActionText(copyPathText(m_viewModel));
            row->setPath(path, m_viewModel.presentation().displayPath(path));
        });
    if (!m_showBlockedPaths)
        return;
    // As tall as the rows, up to the maximum; beyond that the list scrolls.
    const QList<SelectablePathField*>& rows = m_rowList.widgets();
    const int rowHeight = rows.isEmpty() ? 0 : rows.constLast()->sizeHint().height();
    const int count = int(rows.size());
    const int rowsHeight = count * rowHeight + std::max(0, count - 1) * 4;
    m_list->setFixedHeight(std::min(kListMaximumHeight, rowsHeight));
}

void SettingsSafetyGroup::refresh()
{
    const AppConfig& config = m_viewModel.browsing().config();
    const bool requesting = m_viewModel.activity().isRequestingAdminAuthorization();
    setTitle(m_viewModel.presentation().localized({"安全策略", "Safety"}));
    m_strict->setText(m_viewModel.presentation().localized(
        {QStringLiteral("严格模式（默认开启）"), QStringLiteral("Strict mode (default on)")}));
    m_strict->setChecked(config.strictModeEnabled);
    m_adminAuth->setText(m_viewModel.presentation().localized(
        {QStringLiteral("获取管理员权限"), QStringLiteral("Request Admin Auth")}));
    m_adminAuth->setEnabled(!requesting);
    m_toggleList->setText(m_showBlockedPaths
                              ? m_viewModel.presentation().localized(
                                    {QStringLiteral("隐藏禁止目录"), QStringLiteral("Hide Blocked Paths")})
                              : m_viewModel.presentation().localized(
                                    {QStringLiteral("查看禁止目录"), QStringLiteral("Show Blocked Paths")}));
    m_busy->setVisible(requesting);
    m_list->setVisible(m_showBlockedPaths);
    updateBlockedPaths();
    setTextIfChanged(
        m_explanation,
        m_viewModel.presentation().localized(
            {QStringLiteral(
                 "严格模式开启时，会阻止迁移系统受保护目录与关键用户目录；关闭后不再执行这些限制。"),
             QStringLiteral("When strict mode is on, migration of the system's protected folders and "
                            "critical user directories is blocked; when off, these restrictions "
                            "are removed.")}));
    setTextIfChanged(
        m_legend, m_viewModel.presentation().localized(
                      {QStringLiteral("列表中的 /* 只表示该目录下一层，/** 表示整个目录树都会继续受限。"),
                       QStringLiteral("In the list, /* means only the first level under that directory "
                                      "is blocked, while /** means the whole subtree remains restricted.")}));
}

} // namespace orvalink::ui
