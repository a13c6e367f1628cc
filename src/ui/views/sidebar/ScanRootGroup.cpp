#include "ui/views/sidebar/ScanRootGroup.h"

#include "model/Formatters.h"
#include "ui/views/common/DashboardViewState.h"
#include "ui/views/common/PathLine.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/sidebar/MinimumSizeText.h"
#include "ui/widgets/ComboOptions.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/ElidingComboBox.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/SmallButton.h"
#include "ui/widgets/Stepper.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/texts/Presentation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr double kStepperMaximumMB = 1024.0 * 1024.0;
// Between a menu and its title, and between two menus.
constexpr int kPickerTitleGap = 4;
constexpr int kPickerGap = 10;
const QColor kScanRootOrange(0xf0, 0x8a, 0x00);

template <typename Option, size_t N> int positionOf(const std::array<Option, N>& options, Option option)
{
    return int(std::find(options.begin(), options.end(), option) - options.begin());
}

QHBoxLayout* addRow(QVBoxLayout* column, int spacing = -1)
{
    auto* row = new QHBoxLayout;
    if (spacing >= 0)
        row->setSpacing(spacing);
    column->addLayout(row);
    return row;
}

} // namespace

void applyMinimumSizeInput(MainViewModel& viewModel, DashboardViewState& state)
{
    if (const std::optional<double> megabytes = parseMinimumSizeInput(state.minSizeInput())) {
        viewModel.settings().updateMinimumSizeMB(*megabytes);
        state.setMinSizeInput(minSizeText(*megabytes));
    } else {
        state.setMinSizeInput(minSizeText(viewModel.browsing().minSizeMB()));
    }
}

ScanRootGroup::ScanRootGroup(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent)
    : GroupPanel(parent), m_viewModel(viewModel), m_state(state)
{
    setObjectName(QStringLiteral("scanGroup"));
    QVBoxLayout* column = contentLayout();
    // Compact: every line the sidebar's groups take is taken from the directory list.
    setCompact();

    // The root and its chooser share a line; a long root loses its middle.
    QHBoxLayout* rootRow = addRow(column);
    m_rootLabel = new QLabel(this);
    rootRow->addWidget(m_rootLabel);
    m_rootPath = new PathLine(m_viewModel, this, 12);
    m_rootPath->setObjectName(QStringLiteral("scanRootPath"));
    rootRow->addWidget(m_rootPath, 1);
    m_selectRoot = new QPushButton(this);
    m_selectRoot->setObjectName(QStringLiteral("selectScanRootButton"));
    connect(m_selectRoot, &QPushButton::clicked, this,
            [this] { startDetached(m_viewModel.settings().selectScanRoot()); });
    rootRow->addWidget(m_selectRoot);

    buildSizeRows();
    buildSwitches();
    buildPickers();

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_viewModel.browsing(), &BrowsingState::configChanged, &BrowsingState::minSizeMBChanged,
                     &BrowsingState::showAllFilesChanged, &BrowsingState::showHiddenFilesChanged,
                     &BrowsingState::realtimeRefreshEnabledChanged, &BrowsingState::sortOptionChanged,
                     &BrowsingState::fileTypeFilterChanged, &BrowsingState::visibilityFilterChanged);
    scheduler->watch(&m_state, &DashboardViewState::minSizeInputChanged);
    refresh();
}

void ScanRootGroup::buildSizeRows()
{
    // The stepper and the typed size share a line while it has room for both.
    auto* sizes = new QWidget(this);
    sizes->setObjectName(QStringLiteral("minSizeControls"));
    auto* flow = new FlowLayout(sizes, 12, 6);
    m_stepper = new Stepper(sizes);
    m_stepper->setObjectName(QStringLiteral("minSizeStepper"));
    m_stepper->setRange(0, kStepperMaximumMB);
    m_stepper->setStep(10);
    connect(m_stepper, &Stepper::valueStepped, this,
            [this](double value) { m_viewModel.settings().updateMinimumSizeMB(value); });
    flow->addWidget(m_stepper);

    m_sizeRow = new QWidget(sizes);
    m_sizeRow->setObjectName(QStringLiteral("minSizeRow"));
    auto* sizeLayout = new QHBoxLayout(m_sizeRow);
    sizeLayout->setContentsMargins(0, 0, 0, 0);
    sizeLayout->setSpacing(8);
    m_sizeField = new QLineEdit(m_sizeRow);
    m_sizeField->setObjectName(QStringLiteral("minSizeField"));
    m_sizeField->setAlignment(Qt::AlignRight);
    m_sizeField->setFixedWidth(120);
    m_sizeField->installEventFilter(this);
    sizeLayout->addWidget(m_sizeField);
    QLabel* unit =
        textLabel(m_sizeRow, QStringLiteral("minSizeUnit"), TextStyle::Caption, LabelOption::Secondary);
    unit->setText(QStringLiteral("MB"));
    sizeLayout->addWidget(unit);
    m_apply = smallButton(m_sizeRow, QStringLiteral("minSizeApplyButton"));
    sizeLayout->addWidget(m_apply);
    flow->addWidget(m_sizeRow);
    contentLayout()->addWidget(sizes);

    connect(m_sizeField, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_state.setMinSizeInput(text); });
    const auto apply = [this] {
        applyMinimumSizeInput(m_viewModel, m_state);
    };
    connect(m_sizeField, &QLineEdit::returnPressed, this, apply);
    connect(m_apply, &QPushButton::clicked, this, apply);
}

void ScanRootGroup::buildSwitches()
{
    // The three switches share a line, and the tip joins them where it has room.
    auto* switches = new QWidget(this);
    switches->setObjectName(QStringLiteral("scanSwitches"));
    auto* flow = new FlowLayout(switches, 12, 4);
    const auto addSwitch = [switches, flow](const char* name) {
        auto* box = new QCheckBox(switches);
        box->setObjectName(QString::fromLatin1(name));
        flow->addWidget(box);
        return box;
    };
    m_showAll = addSwitch("showAllFilesSwitch");
    m_showHidden = addSwitch("showHiddenFilesSwitch");
    m_liveRefresh = addSwitch("liveRefreshSwitch");
    // clicked() reports only the user's changes, never the refresh's.
    connect(m_showAll, &QCheckBox::clicked, this,
            [this](bool on) { m_viewModel.loader().setShowAllFiles(on); });
    connect(m_showHidden, &QCheckBox::clicked, this,
            [this](bool on) { m_viewModel.settings().updateShowHiddenFiles(on); });
    connect(m_liveRefresh, &QCheckBox::clicked, this,
            [this](bool on) { m_viewModel.settings().updateRealtimeRefreshEnabled(on); });

    m_hiddenTip = elidedLabel(switches, QStringLiteral("hiddenFilesTip"), TextStyle::Caption);
    m_hiddenTip->setMinimumHeight(m_showAll->sizeHint().height());
    applyTextColor(m_hiddenTip, kScanRootOrange);
    flow->addWidget(m_hiddenTip);
    contentLayout()->addWidget(switches);
}

void ScanRootGroup::buildPickers()
{
    // Each menu keeps its title beside it; the pairs wrap in a narrow column instead of widening it.
    // Small controls, so the three share one line also with both languages shown.
    auto* pickers = new QWidget(this);
    pickers->setObjectName(QStringLiteral("pickerRow"));
    applyTextStyle(pickers, TextStyle::Subheadline);
    auto* flow = new FlowLayout(pickers, kPickerGap, 6);
    const auto addPicker = [pickers, flow](const char* name, QLabel*& label) {
        auto* pair = new QWidget(pickers);
        auto* row = new QHBoxLayout(pair);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(kPickerTitleGap);
        label = new QLabel(pair);
        row->addWidget(label);
        auto* combo = new ElidingComboBox(pair);
        combo->setObjectName(QString::fromLatin1(name));
        row->addWidget(combo);
        flow->addWidget(pair);
        return combo;
    };
    m_sort = addPicker("sortPicker", m_sortLabel);
    m_fileType = addPicker("fileTypePicker", m_fileTypeLabel);
    m_visibility = addPicker("visibilityPicker", m_visibilityLabel);
    contentLayout()->addWidget(pickers);
    m_pickers = pickers;
    pickers->installEventFilter(this);
    // activated() reports only the user's choices.
    connect(m_sort, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(allSortOptions.size()))
            m_viewModel.listing().setSortOption(allSortOptions.at(size_t(index)));
    });
    connect(m_fileType, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(allFileTypeFilters.size()))
            m_viewModel.listing().setFileTypeFilter(allFileTypeFilters.at(size_t(index)));
    });
    connect(m_visibility, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(allVisibilityFilters.size()))
            m_viewModel.settings().updateVisibilityFilter(allVisibilityFilters.at(size_t(index)));
    });
}

bool ScanRootGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pickers && event->type() == QEvent::Resize)
        fitPickers();
    if (watched == m_sizeField) {
        if (event->type() == QEvent::FocusIn)
            m_state.setMinSizeInputFocused(true);
        else if (event->type() == QEvent::FocusOut)
            m_state.setMinSizeInputFocused(false);
    }
    return GroupPanel::eventFilter(watched, event);
}

void ScanRootGroup::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const BrowsingState& browsing = m_viewModel.browsing();
    setTitle(m_viewModel.presentation().localized({"扫描", "Scan"}));
    m_rootLabel->setText(m_viewModel.presentation().localized({"根目录", "Root"}));
    m_rootPath->setPath(browsing.config().defaultScanRoot,
                        texts.displayPath(browsing.config().defaultScanRoot));
    m_selectRoot->setText(m_viewModel.presentation().localized({"选择扫描目录", "Select Scan Root"}));

    const bool showAll = browsing.showAllFiles();
    m_stepper->setValue(browsing.minSizeMB());
    m_stepper->setLabelText(m_viewModel.presentation().localized({"最小大小", "Min size"}) +
                            QStringLiteral(": ") + Formatters::fixedPoint(browsing.minSizeMB(), 0) +
                            QStringLiteral(" MB"));
    m_stepper->setEnabled(!showAll);
    m_sizeRow->setEnabled(!showAll);
    m_sizeField->setPlaceholderText(m_viewModel.presentation().localized({"输入大小", "Enter size"}));
    setTextIfChanged(m_sizeField, m_state.minSizeInput());
    m_apply->setText(m_viewModel.presentation().localized({"应用", "Apply"}));

    m_showAll->setText(m_viewModel.presentation().localized({"显示全部文件", "Show all files"}));
    m_showAll->setChecked(showAll);
    m_showHidden->setText(m_viewModel.presentation().localized({"显示隐藏文件", "Show hidden files"}));
    m_showHidden->setChecked(browsing.showHiddenFiles());
    m_liveRefresh->setText(m_viewModel.presentation().localized({"实时刷新", "Live Refresh"}));
    m_liveRefresh->setChecked(browsing.realtimeRefreshEnabled());
    m_hiddenTip->setText(m_viewModel.presentation().localized(
        {"提示：隐藏文件（如 .Trash）不会显示", "Tip: Hidden files (like .Trash) are not shown"}));
    m_hiddenTip->setVisible(!browsing.showHiddenFiles());

    m_sortLabel->setText(m_viewModel.presentation().localized({"排序", "Sort"}));
    QStringList sortTexts;
    for (SortOption option : allSortOptions)
        sortTexts.append(texts.sortTitle(option));
    relabelCombo(m_sort, sortTexts, positionOf(allSortOptions, browsing.sortOption()));
    m_fileTypeLabel->setText(m_viewModel.presentation().localized({"文件类型", "File Type"}));
    QStringList typeTexts;
    for (FileTypeFilter filter : allFileTypeFilters)
        typeTexts.append(texts.fileTypeTitle(filter));
    relabelCombo(m_fileType, typeTexts, positionOf(allFileTypeFilters, browsing.fileTypeFilter()));
    m_visibilityLabel->setText(m_viewModel.presentation().localized({"隐藏显示", "Visibility"}));
    relabelCombo(m_visibility,
                 {m_viewModel.presentation().localized({"全部", "All"}),
                  m_viewModel.presentation().localized({"仅非隐藏", "Visible Only"}),
                  m_viewModel.presentation().localized({"仅隐藏", "Hidden Only"})},
                 positionOf(allVisibilityFilters, browsing.visibilityFilter()));
    fitPickers();
}

void ScanRootGroup::fitPickers()
{
    int room = m_pickers->contentsRect().width() - 2 * kPickerGap;
    for (const QLabel* title : {m_sortLabel, m_fileTypeLabel, m_visibilityLabel})
        room -= title->sizeHint().width() + kPickerTitleGap;
    fitCombosToOptions({m_sort, m_fileType, m_visibility}, room);
}

} // namespace orvalink::ui
