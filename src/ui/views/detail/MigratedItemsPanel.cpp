#include "ui/views/detail/MigratedItemsPanel.h"

#include "ui/models/MappingListModel.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/detail/MappingListView.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/SmallButton.h"
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
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr int kListMaxHeight = 220;

} // namespace

MigratedItemsPanel::MigratedItemsPanel(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("migratedItemsPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    auto* header = new QHBoxLayout;
    m_total = elidedLabel(this, QStringLiteral("migratedTotal"), TextStyle::Caption, Qt::ElideRight,
                          LabelOption::Secondary);
    m_selection = elidedLabel(this, QStringLiteral("migratedSelection"), TextStyle::Caption, Qt::ElideRight,
                              LabelOption::Secondary);
    header->addWidget(m_total);
    header->addWidget(m_selection);
    header->addStretch(1);
    m_selectAll = smallButton(this, QStringLiteral("migratedSelectAll"));
    m_clear = smallButton(this, QStringLiteral("migratedClear"));
    m_repairAll = smallRunButton(this, QStringLiteral("repairAllLinks"));
    m_repairSelected = smallRunButton(this, QStringLiteral("repairSelectedLinks"));
    header->addWidget(m_selectAll);
    header->addWidget(m_clear);
    layout->addLayout(header);
    // The repair buttons get a row of their own at the right edge: with the bilingual texts, one
    // row of all four would be wider than the detail column. Where even two are too wide, the
    // second goes below the first.
    auto* repairs = new QWidget(this);
    repairs->setObjectName(QStringLiteral("repairButtons"));
    auto* repairFlow = new FlowLayout(repairs, 6, 6);
    repairFlow->setLineAlignment(Qt::AlignRight);
    m_repairAll->setParent(repairs);
    m_repairSelected->setParent(repairs);
    repairFlow->addWidget(m_repairAll);
    repairFlow->addWidget(m_repairSelected);
    layout->addWidget(repairs);

    MainViewModel* vm = &viewModel;
    connect(m_selectAll, &QPushButton::clicked, this, [vm] { vm->workflows().selectAllMigratedMappings(); });
    connect(m_clear, &QPushButton::clicked, this, [vm] { vm->workflows().clearMigratedMappingSelection(); });
    connect(m_repairAll, &QPushButton::clicked, this,
            [vm] { startDetached(vm->workflows().repairBrokenLinks()); });
    // The selection is read when the button is pressed, not when the panel was last drawn.
    connect(m_repairSelected, &QPushButton::clicked, this, [vm] {
        startDetached(vm->workflows().repairMigratedLinks(vm->history().selectedMigratedMappingIDs()));
    });

    m_empty = textLabel(this, QStringLiteral("migratedEmpty"), TextStyle::Caption, LabelOption::Secondary);
    layout->addWidget(m_empty);
    m_list = new MappingListView(viewModel, QStringLiteral("migratedItemsList"), this);
    connect(m_list, &MappingListView::rowToggled, this,
            [vm](const QUuid& id) { vm->workflows().toggleMigratedMappingSelection(id); });
    connect(m_list, &MappingListView::contextMenuRequested, this, &MigratedItemsPanel::showContextMenu);
    layout->addWidget(m_list);

    m_refresh = new RefreshScheduler([this] { showState(); }, this);
    const HistoryState* history = &viewModel.history();
    m_refresh->watch(history, &HistoryState::migratedMappingsChanged,
                     &HistoryState::migratedMappingCountChanged);
    m_refresh->watch(history, &HistoryState::selectedMigratedMappingIDsChanged);
    // Whether a repair may start: while no disk work runs.
    m_refresh->watch(&viewModel.activity(), &ActivityState::diskWorkChanged);
    m_refresh->watch(&viewModel.presentation(), &Presentation::textsChanged);
    // Every row reads differently in another language or with privacy switched.
    connect(&viewModel.presentation(), &Presentation::textsChanged, m_list->mappingModel(),
            &MappingListModel::repaintAll);
    showState();
}

void MigratedItemsPanel::showContextMenu(const LinkMapping& mapping, MappingRowPart part,
                                         const QPoint& globalPos)
{
    QMenu* menu = createMappingPathMenu(m_viewModel, mapping, part, this);
    if (!menu) {
        menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("migratedRowMenu"));
        MainViewModel* vm = &m_viewModel;
        const QUuid id = mapping.id;
        const QString source = mapping.sourcePath;
        const QString target = mapping.targetPath;
        const auto add = [&](const BilingualText& label, std::function<void()> action) {
            QAction* item = menu->addAction(m_viewModel.presentation().localized(label));
            connect(item, &QAction::triggered, menu, std::move(action));
        };
        add({"修复此链接", "Repair This Link"},
            [vm, id] { startDetached(vm->workflows().repairMigratedLinks({id})); });
        add({"进入来源目录", "Open Source in Sidebar"},
            [vm, source] { vm->navigation().goToDirectoryContext(source); });
        add({"进入目标目录", "Open Target in Sidebar"},
            [vm, target] { vm->navigation().goToDirectoryContext(target); });
        add({"在文件管理器中显示来源", "Show Source in File Manager"},
            [vm, source] { vm->presentation().revealInFileManager(source); });
        add({"在文件管理器中显示目标", "Show Target in File Manager"},
            [vm, target] { vm->presentation().revealInFileManager(target); });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void MigratedItemsPanel::refresh()
{
    m_refresh->refreshNow();
}

void MigratedItemsPanel::showState()
{
    MainViewModel& vm = m_viewModel;
    const HistoryState& history = vm.history();
    const QList<LinkMapping>& mappings = history.migratedMappings();
    const qsizetype marked = history.selectedMigratedMappings().size();
    const QString count = QString::number(marked);
    setTextIfChanged(m_total, vm.presentation().localized({"总数", "Total"}) + QStringLiteral(": ") +
                                  QString::number(history.migratedMappingCount()));
    setTextIfChanged(
        m_selection,
        marked == 0 ? vm.presentation().localized({"未选择项目", "No item selected"})
                    : vm.presentation().localized({QStringLiteral("已选择 ") + count + QStringLiteral(" 项"),
                                                   count + QStringLiteral(" item(s) selected")}));
    m_selectAll->setText(vm.presentation().localized({"全选", "Select All"}));
    m_selectAll->setEnabled(!mappings.isEmpty());
    m_clear->setText(vm.presentation().localized({"清空", "Clear"}));
    m_clear->setEnabled(marked > 0);
    // Not while any disk work runs: a migration or undo may be moving the very link a repair rewrites.
    const bool busy = !vm.workflows().mayStartDiskWork();
    m_repairAll->setText(vm.presentation().localized(
        {QStringLiteral("一键修复所有失效链接"), QStringLiteral("Repair All Broken Links")}));
    m_repairAll->setEnabled(!busy);
    m_repairSelected->setText(
        marked < 2 ? vm.presentation().localized(
                         {QStringLiteral("修复所选链接"), QStringLiteral("Repair Selected Link")})
                   : vm.presentation().localized(
                         {QStringLiteral("修复所选 ") + count + QStringLiteral(" 条链接"),
                          QStringLiteral("Repair ") + count + QStringLiteral(" Selected Links")}));
    m_repairSelected->setEnabled(!busy && marked > 0);

    setTextIfChanged(m_empty, vm.presentation().localized(
                                  {QStringLiteral("暂无已迁移项目"), QStringLiteral("No migrated items")}));
    m_empty->setVisible(mappings.isEmpty());
    m_list->setVisible(!mappings.isEmpty());
    MappingListModel* model = m_list->mappingModel();
    model->setMappings(mappings);
    model->setSelection(history.selectedMigratedMappingIDs());
    m_list->setFixedHeight(std::max(m_list->contentHeight(kListMaxHeight), 1));
}

} // namespace orvalink::ui
