#include "ui/views/sidebar/NavigationGroup.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/sidebar/PathInputRow.h"
#include "ui/widgets/BreadcrumbRow.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/Clickable.h"
#include "ui/widgets/ComboOptions.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/texts/Presentation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr std::array<SmartMigrationProfile, 2> kProfiles{SmartMigrationProfile::wechat,
                                                         SmartMigrationProfile::other};

} // namespace

NavigationGroup::NavigationGroup(MainViewModel& viewModel, QWidget* parent)
    : GroupPanel(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("navigationGroup"));
    QVBoxLayout* column = contentLayout();
    // Compact: every line the sidebar's groups take is taken from the directory list.
    setCompact();

    // The breadcrumbs stand on the title row, a line the directory list keeps, in the room the
    // title leaves. They never scroll: chips that do not fit give up width, the current folder last.
    m_breadcrumbs = new BreadcrumbRow(this);
    m_breadcrumbs->setObjectName(QStringLiteral("breadcrumbs"));
    m_breadcrumbs->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    addHeaderWidget(m_breadcrumbs, 1);

    buildControls();

    m_pathInput = new PathInputRow(m_viewModel, this);
    column->addWidget(m_pathInput);

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_viewModel.browsing(), &BrowsingState::currentDirectoryPathChanged,
                     &BrowsingState::smartMigrationEnabledChanged,
                     &BrowsingState::smartMigrationProfileChanged, &BrowsingState::showLinkModeChanged);
    scheduler->watch(&m_viewModel.navigation(), &Navigator::historyChanged);
    refresh();
}

void NavigationGroup::buildControls()
{
    // The controls wrap onto a second line in a narrow column instead of widening it.
    auto* controls = new QWidget(this);
    controls->setObjectName(QStringLiteral("navigationControls"));
    auto* flow = new FlowLayout(controls, 6, 6);
    const auto addButton = [controls, flow](const char* name) {
        auto* button = new QPushButton(controls);
        button->setObjectName(QString::fromLatin1(name));
        flow->addWidget(button);
        return button;
    };
    Navigator& navigation = m_viewModel.navigation();
    m_back = addButton("backButton");
    connect(m_back, &QPushButton::clicked, this, [&navigation] { navigation.goBack(); });
    m_forward = addButton("forwardButton");
    connect(m_forward, &QPushButton::clicked, this, [&navigation] { navigation.goForward(); });
    m_up = addButton("upButton");
    connect(m_up, &QPushButton::clicked, this, [&navigation] { navigation.goToParentDirectory(); });

    // Disabled with their buttons (refresh), so a shortcut never does what the button cannot.
    m_backShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft), this);
    m_backShortcut->setObjectName(QStringLiteral("backShortcut"));
    connect(m_backShortcut, &QShortcut::activated, m_back, &QPushButton::click);
    m_forwardShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketRight), this);
    m_forwardShortcut->setObjectName(QStringLiteral("forwardShortcut"));
    connect(m_forwardShortcut, &QShortcut::activated, m_forward, &QPushButton::click);

    // The picker's label stands beside it and wraps with it.
    auto* picker = new QWidget(controls);
    picker->setObjectName(QStringLiteral("migrationListField"));
    auto* pickerRow = new QHBoxLayout(picker);
    pickerRow->setContentsMargins(0, 0, 0, 0);
    pickerRow->setSpacing(6);
    m_profileLabel = new QLabel(picker);
    m_profileLabel->setObjectName(QStringLiteral("migrationListLabel"));
    m_profile = new QComboBox(picker);
    m_profile->setObjectName(QStringLiteral("migrationListPicker"));
    m_profileLabel->setBuddy(m_profile);
    connect(m_profile, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(kProfiles.size()))
            m_viewModel.settings().updateSmartMigrationProfile(kProfiles.at(size_t(index)));
    });
    pickerRow->addWidget(m_profileLabel);
    pickerRow->addWidget(m_profile);
    flow->addWidget(picker);
    m_smartMigration = new QCheckBox(controls);
    m_smartMigration->setObjectName(QStringLiteral("smartMigrationSwitch"));
    applyTextStyle(m_smartMigration, TextStyle::Subheadline);
    connect(m_smartMigration, &QCheckBox::clicked, this,
            [this](bool on) { m_viewModel.settings().updateSmartMigrationEnabled(on); });
    flow->addWidget(m_smartMigration);
    m_linkMode = new QCheckBox(controls);
    m_linkMode->setObjectName(QStringLiteral("linkModeSwitch"));
    applyTextStyle(m_linkMode, TextStyle::Subheadline);
    connect(m_linkMode, &QCheckBox::clicked, this,
            [this](bool on) { m_viewModel.listing().setShowLinkMode(on); });
    flow->addWidget(m_linkMode);
    m_systemApps = addButton("systemAppsButton");
    connect(m_systemApps, &QPushButton::clicked, this,
            [&navigation] { navigation.goToSystemApplicationsDirectory(); });
    m_clearSelection = addButton("clearSelectionButton");
    connect(m_clearSelection, &QPushButton::clicked, this, [&navigation] { navigation.clearSelection(); });
    contentLayout()->addWidget(controls);
}

void NavigationGroup::updateBreadcrumbs()
{
    struct Crumb {
        QString path;
        QString name;
    };
    const QString current = m_viewModel.browsing().currentDirectoryPath();
    const Presentation& texts = m_viewModel.presentation();
    QList<Crumb> crumbs;
    for (const QString& path : m_viewModel.navigation().breadcrumbPaths())
        crumbs.append(Crumb{path, texts.displayName(path)});

    const QColor accent = palette().color(QPalette::Highlight);
    m_breadcrumbs->syncChips(
        crumbs, [](const Crumb& crumb) { return crumb.path; },
        [this](const Crumb&) {
            // Made without a parent, as the row adopts it, so its font comes from the application.
            auto* chip = new Chip;
            chip->setObjectName(QStringLiteral("breadcrumbChip"));
            chip->setFont(styledFont(TextStyle::Caption, chip->font()));
            chip->setPadding(8, 4);
            makeClickable(chip, [this, chip] {
                m_viewModel.navigation().navigate(chip->property("path").toString(), true);
            });
            return chip;
        },
        [&current, &accent](Chip* chip, const Crumb& crumb) {
            chip->setProperty("path", crumb.path);
            chip->setText(crumb.name);
            chip->setTint(accent, crumb.path == current ? 0.18 : 0.0);
        });
}

void NavigationGroup::refresh()
{
    const BrowsingState& browsing = m_viewModel.browsing();
    const Navigator& navigation = m_viewModel.navigation();
    setTitle(m_viewModel.presentation().localized({"导航", "Navigation"}));
    updateBreadcrumbs();

    m_back->setText(m_viewModel.presentation().localized({"返回", "Back"}));
    m_back->setEnabled(!navigation.backHistory().isEmpty());
    m_backShortcut->setEnabled(m_back->isEnabled());
    m_forward->setText(m_viewModel.presentation().localized({"前进", "Forward"}));
    m_forward->setEnabled(!navigation.forwardHistory().isEmpty());
    m_forwardShortcut->setEnabled(m_forward->isEnabled());
    m_up->setText(m_viewModel.presentation().localized({"上一级", "Up"}));
    m_up->setEnabled(browsing.currentDirectoryPath() != QLatin1String("/"));

    relabelCombo(m_profile,
                 {m_viewModel.presentation().localized({"微信列表", "WeChat List"}),
                  m_viewModel.presentation().localized({"其他列表", "Other List"})},
                 browsing.smartMigrationProfile() == SmartMigrationProfile::wechat ? 0 : 1);
    fitCombosToOptions({m_profile});
    m_profileLabel->setText(m_viewModel.presentation().localized({"迁移列表", "Migration List"}));
    m_profileLabel->setEnabled(browsing.smartMigrationEnabled());
    m_profile->setEnabled(browsing.smartMigrationEnabled());
    m_smartMigration->setText(m_viewModel.presentation().localized({"智能迁移", "Smart Migration"}));
    m_smartMigration->setChecked(browsing.smartMigrationEnabled());
    m_linkMode->setText(m_viewModel.presentation().localized({"链接方式", "Link Mode"}));
    m_linkMode->setChecked(browsing.showLinkMode());
    m_systemApps->setText(m_viewModel.presentation().localized({"系统应用", "System Apps"}));
    m_clearSelection->setText(m_viewModel.presentation().localized({"清空选择", "Clear Selection"}));
}

} // namespace orvalink::ui
