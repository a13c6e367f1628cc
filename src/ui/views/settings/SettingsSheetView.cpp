#include "ui/views/settings/SettingsSheetView.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/views/settings/SettingsSafetyGroup.h"
#include "ui/views/settings/SettingsTargetGroup.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/GroupPanel.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/texts/Presentation.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr UILanguage kLanguages[] = {UILanguage::chinese, UILanguage::english, UILanguage::bilingual};

QCheckBox* makeToggle(const QString& objectName, QWidget* parent)
{
    auto* toggle = new QCheckBox(parent);
    toggle->setObjectName(objectName);
    return toggle;
}

} // namespace

SettingsSheetView::SettingsSheetView(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("settingsSheet"));
    setMinimumSize(720, 620);
    m_scheduler = new RefreshScheduler([this] { refresh(); }, this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("settingsSheetScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(buildHeader(content));
    layout->addWidget(m_languageGroup = buildLanguageGroup(content));
    layout->addWidget(m_privacyGroup = buildPrivacyGroup(content));
    layout->addWidget(m_targetGroup = new SettingsTargetGroup(viewModel, content));
    layout->addWidget(m_safetyGroup = new SettingsSafetyGroup(viewModel, content));
    layout->addWidget(m_scanGroup = buildScanGroup(content));
    layout->addWidget(m_notesGroup = buildNotesGroup(content));
    layout->addStretch(1);
    scroll->setWidget(content);

    // The texts follow the language and privacy; the controls follow the settings they show.
    m_scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    m_scheduler->watch(&viewModel.browsing(), &BrowsingState::configChanged,
                       &BrowsingState::showHiddenFilesChanged, &BrowsingState::realtimeRefreshEnabledChanged);
    m_scheduler->watch(&viewModel.activity(), &ActivityState::isRequestingAdminAuthorizationChanged);
    m_scheduler->watch(&viewModel.accountState(), &AccountState::isBackendBusyChanged);
    m_scheduler->watch(m_safetyGroup, &SettingsSafetyGroup::blockedPathsToggled);
    disableReturnButtons(this);
    m_scheduler->refreshNow();
}

QWidget* SettingsSheetView::buildHeader(QWidget* parent)
{
    auto* header = new QWidget(parent);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    m_title = textLabel(header, QStringLiteral("settingsTitle"), TextStyle::Title3, LabelOption::Bold);
    m_subtitle = textLabel(header, QStringLiteral("settingsSubtitle"), TextStyle::Caption,
                           LabelOption::Secondary | LabelOption::Wrap);
    titles->addWidget(m_title);
    titles->addWidget(m_subtitle);
    row->addLayout(titles, 1);
    m_busy = new BusyIndicator(QStringLiteral("settingsBusyIndicator"), BusyIndicator::Standard, header);
    row->addWidget(m_busy, 0, Qt::AlignTop);
    m_close = new QPushButton(header);
    m_close->setObjectName(QStringLiteral("closeButton"));
    row->addWidget(m_close, 0, Qt::AlignTop);
    connect(m_close, &QPushButton::clicked, this, &SettingsSheetView::dismiss);
    return header;
}

GroupPanel* SettingsSheetView::buildLanguageGroup(QWidget* parent)
{
    auto* group = new GroupPanel(parent);
    group->setObjectName(QStringLiteral("languageGroup"));
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    m_languageLabel = new QLabel(group);
    row->addWidget(m_languageLabel);
    row->addSpacing(10);
    m_languages = new QButtonGroup(group);
    for (UILanguage language : kLanguages) {
        auto* segment = new QPushButton(group);
        segment->setObjectName(QStringLiteral("languageSegment_") + toText(language));
        segment->setCheckable(true);
        m_languages->addButton(segment, int(language));
        row->addWidget(segment);
    }
    row->addStretch(1);
    group->contentLayout()->addLayout(row);
    connect(m_languages, &QButtonGroup::idClicked, this,
            [this](int id) { m_viewModel.settings().setLanguage(UILanguage(id)); });
    return group;
}

GroupPanel* SettingsSheetView::buildPrivacyGroup(QWidget* parent)
{
    auto* group = new GroupPanel(parent);
    group->setObjectName(QStringLiteral("privacyGroup"));
    group->contentLayout()->setSpacing(10);
    m_privacy = makeToggle(QStringLiteral("privacyToggle"), group);
    m_privacyNote = textLabel(group, QStringLiteral("privacyNote"), TextStyle::Caption,
                              LabelOption::Secondary | LabelOption::Wrap);
    group->contentLayout()->addWidget(m_privacy);
    group->contentLayout()->addWidget(m_privacyNote);
    connect(m_privacy, &QCheckBox::clicked, this,
            [this](bool checked) { m_viewModel.settings().setPresentationPrivacyEnabled(checked); });
    return group;
}

GroupPanel* SettingsSheetView::buildScanGroup(QWidget* parent)
{
    auto* group = new GroupPanel(parent);
    group->setObjectName(QStringLiteral("scanPreferencesGroup"));
    group->contentLayout()->setSpacing(10);
    m_hiddenFiles = makeToggle(QStringLiteral("showHiddenFilesToggle"), group);
    m_realtime = makeToggle(QStringLiteral("realtimeRefreshToggle"), group);
    group->contentLayout()->addWidget(m_hiddenFiles);
    group->contentLayout()->addWidget(m_realtime);
    connect(m_hiddenFiles, &QCheckBox::clicked, this,
            [this](bool checked) { m_viewModel.settings().updateShowHiddenFiles(checked); });
    connect(m_realtime, &QCheckBox::clicked, this,
            [this](bool checked) { m_viewModel.settings().updateRealtimeRefreshEnabled(checked); });
    return group;
}

GroupPanel* SettingsSheetView::buildNotesGroup(QWidget* parent)
{
    auto* group = new GroupPanel(parent);
    group->setObjectName(QStringLiteral("settingsNotesGroup"));
    m_notes = textLabel(group, QStringLiteral("settingsNote"), TextStyle::Caption,
                        LabelOption::Secondary | LabelOption::Wrap);
    group->contentLayout()->addWidget(m_notes);
    return group;
}

void SettingsSheetView::flushRefresh()
{
    m_scheduler->flush();
}

void SettingsSheetView::dismiss()
{
    Q_EMIT dismissRequested();
    if (window() == this)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window()))
        dialog->reject();
}

void SettingsSheetView::refresh()
{
    const AppConfig& config = m_viewModel.browsing().config();
    const QString title = m_viewModel.presentation().localized({"设置", "Settings"});
    setWindowTitle(title);
    setTextIfChanged(m_title, title);
    setTextIfChanged(m_subtitle, m_viewModel.presentation().localized(
                                     {QStringLiteral("应用偏好与安全策略"),
                                      QStringLiteral("App preferences and safety controls")}));
    m_busy->setVisible(m_viewModel.accountState().isBackendBusy());
    m_close->setText(m_viewModel.presentation().localized({"关闭", "Close"}));

    m_languageGroup->setTitle(m_viewModel.presentation().localized({"界面语言", "Language"}));
    m_languageLabel->setText(m_viewModel.presentation().localized({"语言", "Language"}));
    const BilingualText segments[] = {{"中文", "Chinese"}, {"英文", "English"}, {"中英双语", "Bilingual"}};
    for (int index = 0; index < 3; ++index) {
        QAbstractButton* segment = m_languages->button(int(kLanguages[index]));
        segment->setText(m_viewModel.presentation().localized(segments[index]));
        segment->setChecked(kLanguages[index] == config.uiLanguage);
    }

    m_privacyGroup->setTitle(m_viewModel.presentation().localized(
        {QStringLiteral("演示脱敏"), QStringLiteral("Presentation Privacy")}));
    m_privacy->setText(m_viewModel.presentation().localized(
        {"开启录屏脱敏（默认关闭）", "Enable presentation privacy (default off)"}));
    m_privacy->setChecked(config.presentationPrivacyEnabled);
    setTextIfChanged(
        m_privacyNote,
        m_viewModel.presentation().localized(
            {QStringLiteral("开启后会统一脱敏账号邮箱、目录路径、外置盘名称和常见错误提示，适合录制推广视频或"
                            "截图演示。关闭后恢复显示真实信息，不影响实际迁移逻辑。"),
             QStringLiteral("When enabled, the app masks account emails, directory paths, external-disk "
                            "names, and common error messages for safer promo videos and screenshots. "
                            "Turning it off restores the real values without affecting migration "
                            "behavior.")}));
    m_targetGroup->refresh();
    m_safetyGroup->refresh();

    m_scanGroup->setTitle(m_viewModel.presentation().localized(
        {QStringLiteral("扫描偏好"), QStringLiteral("Scan Preferences")}));
    m_hiddenFiles->setText(m_viewModel.presentation().localized(
        {QStringLiteral("显示隐藏文件"), QStringLiteral("Show hidden files")}));
    m_hiddenFiles->setChecked(m_viewModel.browsing().showHiddenFiles());
    m_realtime->setText(m_viewModel.presentation().localized(
        {QStringLiteral("实时刷新目录大小"), QStringLiteral("Live refresh directory sizes")}));
    m_realtime->setChecked(m_viewModel.browsing().realtimeRefreshEnabled());

    m_notesGroup->setTitle(m_viewModel.presentation().localized({"说明", "Notes"}));
    setTextIfChanged(
        m_notes,
        m_viewModel.presentation().localized(
            {QStringLiteral("开启统一管理后，系统会优先使用首次选择的位置；关闭后，每次可自行定义迁移目标。"),
             QStringLiteral("When unified management is enabled, the app uses the first "
                            "selected location; when disabled, you can set target per "
                            "migration.")}));
}

} // namespace orvalink::ui
