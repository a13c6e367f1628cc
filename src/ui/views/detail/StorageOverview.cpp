#include "ui/views/detail/StorageOverview.h"

#include "model/Formatters.h"
#include "ui/views/common/DashboardViewState.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/detail/PercentText.h"
#include "ui/widgets/CardGridLayout.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/RevealAnimation.h"
#include "ui/widgets/RingGauge.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Figures.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr int kCardMinimumWidth = 260;
// The lines a card's title and texts beside its gauge may take.
constexpr int kCardTextLines = 2;

// "Label: size" of the volume cards.
QString sizeLine(MainViewModel& viewModel, const BilingualText& label, qint64 bytes)
{
    return viewModel.presentation().localized(label) + QStringLiteral(": ") + Formatters::sizeString(bytes);
}

QLabel* figureLabel(QWidget* parent, const QString& objectName, const QColor& tint)
{
    QLabel* label = textLabel(parent, objectName, TextStyle::Title3, LabelOption::Semibold);
    QFont font = label->font();
    font.setPixelSize(20);
    label->setFont(font);
    applyTextColor(label, tint);
    return label;
}

} // namespace

StorageCard::StorageCard(Kind kind, const QString& objectName, const QString& symbol, const QColor& tint,
                         QWidget* parent)
    : GroupPanel(parent)
{
    setObjectName(objectName);
    const bool volume = kind == Kind::volumeUsage;
    auto* content = new QWidget(this);
    auto* outer = new QVBoxLayout(content);
    outer->setContentsMargins(8, 4, 8, 4);
    outer->setSpacing(volume ? 12 : 10);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    m_gauge = new RingGauge(content);
    m_gauge->setObjectName(QStringLiteral("gauge"));
    m_gauge->setFixedSize(84, 84);
    m_gauge->setSymbol(symbol);
    m_gauge->setTint(tint);
    row->addWidget(m_gauge);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(volume ? 4 : 2);
    // The card shares the column's width: a long bilingual text wraps onto a second line rather
    // than widening the whole column, and only past that ends in "…" (whole in its tool tip); the
    // directory card's subtitle is a path on one line and loses its middle.
    m_heading = elidedLabel(content, QStringLiteral("cardTitle"), TextStyle::Headline, Qt::ElideRight,
                            LabelOption::Semibold, kCardTextLines);
    m_subtitle = elidedLabel(content, QStringLiteral("cardSubtitle"), TextStyle::Caption, Qt::ElideRight,
                             LabelOption::Secondary, kCardTextLines);
    m_ratioLine = elidedLabel(content, QStringLiteral("cardRatio"), TextStyle::Caption, Qt::ElideRight, {},
                              kCardTextLines);
    applyTextColor(m_ratioLine, tint);
    texts->addStretch(1);
    for (QLabel* label : {m_heading, m_subtitle, m_ratioLine})
        texts->addWidget(label);
    texts->addStretch(1);
    row->addLayout(texts, 1);
    outer->addLayout(row);
    if (volume) {
        auto* usage = new QHBoxLayout;
        m_used = elidedLabel(content, QStringLiteral("cardUsed"), TextStyle::Caption);
        m_free = elidedLabel(content, QStringLiteral("cardFree"), TextStyle::Caption);
        m_free->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        usage->addWidget(m_used, 1);
        usage->addWidget(m_free, 1);
        outer->addLayout(usage);
        m_total = elidedLabel(content, QStringLiteral("cardTotal"), TextStyle::Caption, Qt::ElideRight,
                              LabelOption::Secondary);
        outer->addWidget(m_total);
    } else {
        m_value = figureLabel(content, QStringLiteral("cardValue"), tint);
        outer->addWidget(m_value);
    }
    contentLayout()->addWidget(content);
}

void StorageCard::setTexts(const QString& title, const QString& subtitle, const QString& ratioLine)
{
    setTitle(title);
    setTextIfChanged(m_heading, title);
    setTextIfChanged(m_subtitle, subtitle);
    setTextIfChanged(m_ratioLine, ratioLine);
}

void StorageCard::setSubtitleIsPath(bool path)
{
    m_subtitle->setElideMode(path ? Qt::ElideMiddle : Qt::ElideRight);
    m_subtitle->setMaximumLines(path ? 1 : kCardTextLines);
}

void StorageCard::setRatio(double ratio)
{
    m_gauge->setRatio(clampedRatio(ratio));
}

void StorageCard::setVolumeLines(const QString& used, const QString& free, const QString& total)
{
    setTextIfChanged(m_used, used);
    setTextIfChanged(m_free, free);
    setTextIfChanged(m_total, total);
}

void StorageCard::setValue(const QString& value)
{
    setTextIfChanged(m_value, value);
}

StorageOverview::StorageOverview(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent)
    : GroupPanel(parent), m_viewModel(viewModel), m_state(state)
{
    setObjectName(QStringLiteral("storageOverview"));
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(12);
    auto* header = new QHBoxLayout;
    m_headerIcon = new QLabel(content);
    m_headerIcon->setPixmap(Symbols::icon(QStringLiteral("chart.bar.doc.horizontal")).pixmap(16, 16));
    header->addWidget(m_headerIcon);
    m_headerTitle = textLabel(content, QStringLiteral("storageTitle"), TextStyle::Title3, LabelOption::Bold);
    header->addWidget(m_headerTitle);
    header->addStretch(1);
    m_toggle = new QPushButton(content);
    m_toggle->setObjectName(QStringLiteral("storageToggle"));
    connect(m_toggle, &QPushButton::clicked, this,
            [this] { m_state.setShowStorageOverviewExpanded(!m_state.showStorageOverviewExpanded()); });
    header->addWidget(m_toggle);
    layout->addLayout(header);

    m_expanded = new QWidget(content);
    m_expanded->setObjectName(QStringLiteral("storageCards"));
    auto* expanded = new QVBoxLayout(m_expanded);
    expanded->setContentsMargins(0, 0, 0, 0);
    expanded->setSpacing(12);
    // Two by two where the column has room, one column where it is narrow.
    auto* grid = new CardGridLayout(2, kCardMinimumWidth, 12);
    using Kind = StorageCard::Kind;
    m_system = new StorageCard(Kind::volumeUsage, QStringLiteral("systemVolumeCard"),
                               QStringLiteral("internaldrive.fill"), QColor(0, 122, 255), m_expanded);
    m_target = new StorageCard(Kind::volumeUsage, QStringLiteral("targetVolumeCard"),
                               QStringLiteral("externaldrive.fill"), QColor(52, 199, 89), m_expanded);
    m_directory =
        new StorageCard(Kind::sizeMetric, QStringLiteral("directorySizeCard"),
                        QStringLiteral("folder.fill.badge.gearshape"), QColor(255, 149, 0), m_expanded);
    m_directory->setSubtitleIsPath(true);
    m_selection = new StorageCard(Kind::sizeMetric, QStringLiteral("selectionSizeCard"),
                                  QStringLiteral("checkmark.circle.fill"), QColor(48, 176, 199), m_expanded);
    for (QWidget* card : {static_cast<QWidget*>(m_system), static_cast<QWidget*>(m_target),
                          static_cast<QWidget*>(m_directory), static_cast<QWidget*>(m_selection)})
        grid->addWidget(card);
    expanded->addLayout(grid);
    m_notes = new GroupPanel(m_expanded);
    m_notes->setObjectName(QStringLiteral("storageNotes"));
    m_notesText = textLabel(m_notes, QStringLiteral("storageNotesText"), TextStyle::Caption,
                            LabelOption::Secondary | LabelOption::Wrap);
    m_notesText->setContentsMargins(8, 6, 8, 6);
    m_notes->contentLayout()->addWidget(m_notesText);
    expanded->addWidget(m_notes);
    layout->addWidget(m_expanded);
    m_reveal = new RevealAnimation(m_expanded, 200, this); // 0.2 s, ease-in-out
    contentLayout()->addWidget(content);

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_state, &DashboardViewState::showStorageOverviewExpandedChanged);
    scheduler->watch(
        &m_viewModel.browsing(), &BrowsingState::systemVolumeTotalBytesChanged,
        &BrowsingState::systemVolumeFreeBytesChanged, &BrowsingState::targetVolumeTotalBytesChanged,
        &BrowsingState::targetVolumeFreeBytesChanged, &BrowsingState::currentDirectoryPathChanged,
        &BrowsingState::currentDirectorySizeBytesChanged, &BrowsingState::selectedSizeBytesChanged);
    refresh();
}

void StorageOverview::refresh()
{
    MainViewModel& vm = m_viewModel;
    const BrowsingState& browsing = vm.browsing();
    const Figures& figures = vm.figures();
    const bool expanded = m_state.showStorageOverviewExpanded();
    setTextIfChanged(m_headerTitle, vm.presentation().localized({"存储概览", "Storage Overview"}));
    m_toggle->setText(expanded ? vm.presentation().localized({"收起", "Collapse"})
                               : vm.presentation().localized({"展开", "Expand"}));
    // Opening and closing the cards is animated; the first refresh only takes the state.
    m_reveal->setShown(expanded, m_hasRefreshed);
    m_hasRefreshed = true;
    if (!expanded)
        return;

    const auto volumeCard = [&vm](StorageCard* card, qint64 total, qint64 free, double ratio) {
        card->setRatio(ratio);
        card->setVolumeLines(sizeLine(vm, {"已用", "Used"}, std::max<qint64>(total - free, 0)),
                             sizeLine(vm, {"可用", "Free"}, free), sizeLine(vm, {"总容量", "Total"}, total));
    };
    m_system->setTexts(vm.presentation().localized({"内置磁盘", "Internal Disk"}),
                       vm.presentation().localized({"当前系统卷占用", "Current system volume usage"}),
                       percentText(figures.systemVolumeUsageRatio()));
    volumeCard(m_system, browsing.systemVolumeTotalBytes(), browsing.systemVolumeFreeBytes(),
               figures.systemVolumeUsageRatio());
    m_target->setTexts(vm.presentation().localized({"目标磁盘", "Target Disk"}),
                       vm.presentation().localized({"迁移目标卷占用", "Migration target volume usage"}),
                       percentText(figures.targetVolumeUsageRatio()));
    volumeCard(m_target, browsing.targetVolumeTotalBytes(), browsing.targetVolumeFreeBytes(),
               figures.targetVolumeUsageRatio());

    const qint64 systemTotal = browsing.systemVolumeTotalBytes();
    const double directoryRatio =
        systemTotal < 1 ? 0.0
                        : clampedRatio(double(browsing.currentDirectorySizeBytes()) / double(systemTotal));
    m_directory->setTexts(vm.presentation().localized({"当前目录大小", "Current Directory Size"}),
                          vm.presentation().displayPath(browsing.currentDirectoryPath()),
                          vm.presentation().localized({"占内置磁盘", "Share of internal disk"}) +
                              QStringLiteral(": ") + percentText(directoryRatio));
    m_directory->setRatio(directoryRatio);
    m_directory->setValue(Formatters::sizeString(browsing.currentDirectorySizeBytes()));

    m_selection->setTexts(vm.presentation().localized({"已选迁移大小", "Selected for Migration"}),
                          vm.presentation().localized({"占当前目录比例", "Share of current directory"}),
                          percentText(figures.selectedInDirectoryRatio()));
    m_selection->setRatio(figures.selectedInDirectoryRatio());
    m_selection->setValue(Formatters::sizeString(browsing.selectedSizeBytes()));

    m_notes->setTitle(vm.presentation().localized({"说明", "Notes"}));
    setTextIfChanged(
        m_notesText,
        vm.presentation().localized(
            {"右侧面板已优化为环形图仪表盘，用于快速判断内置盘占用、目标盘可用空间以及当前选择的数据规模。",
             "The right panel now uses ring gauges for quick checks of internal usage, target "
             "free space, and selected data size."}));
}

} // namespace orvalink::ui
