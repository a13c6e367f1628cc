#include "ui/views/detail/MigrationHistoryPanel.h"

#include "ui/models/MappingListModel.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/detail/MappingListView.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/SmallButton.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

MigrationHistoryPanel::MigrationHistoryPanel(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("migrationHistoryPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    m_hint = textLabel(this, QStringLiteral("historyHint"), TextStyle::Caption, LabelOption::Secondary);
    layout->addWidget(m_hint, 0, Qt::AlignTop | Qt::AlignLeft);

    m_header = new QWidget(this);
    auto* header = new QHBoxLayout(m_header);
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(8);
    m_selection =
        textLabel(m_header, QStringLiteral("historySelection"), TextStyle::Caption, LabelOption::Secondary);
    header->addWidget(m_selection);
    header->addStretch(1);
    m_selectAll = smallButton(m_header, QStringLiteral("historySelectAll"));
    m_clear = smallButton(m_header, QStringLiteral("historyClear"));
    header->addWidget(m_selectAll);
    header->addWidget(m_clear);
    layout->addWidget(m_header);
    MainViewModel* vm = &viewModel;
    connect(m_selectAll, &QPushButton::clicked, this, [vm] { vm->workflows().selectAllUndoMappings(); });
    connect(m_clear, &QPushButton::clicked, this, [vm] { vm->workflows().clearUndoMappingSelection(); });

    m_empty = textLabel(this, QStringLiteral("historyEmpty"), TextStyle::Caption, LabelOption::Secondary);
    layout->addWidget(m_empty, 0, Qt::AlignTop | Qt::AlignLeft);
    m_list = new MappingListView(viewModel, QStringLiteral("migrationHistoryList"), this);
    m_list->setMinimumHeight(120);
    connect(m_list, &MappingListView::rowToggled, this,
            [vm](const QUuid& id) { vm->workflows().toggleUndoMappingSelection(id); });
    connect(m_list, &MappingListView::contextMenuRequested, this, &MigrationHistoryPanel::showContextMenu);
    layout->addWidget(m_list, 1);
    layout->addStretch(0);

    m_refresh = new RefreshScheduler([this] { showState(); }, this);
    const HistoryState* history = &viewModel.history();
    m_refresh->watch(history, &HistoryState::undoHistoryChanged);
    m_refresh->watch(history, &HistoryState::selectedUndoMappingIDsChanged);
    m_refresh->watch(&viewModel.browsing(), &BrowsingState::undoModeActiveChanged);
    m_refresh->watch(&viewModel.presentation(), &Presentation::textsChanged);
    // Every row reads differently in another language or with privacy switched.
    connect(&viewModel.presentation(), &Presentation::textsChanged, m_list->mappingModel(),
            &MappingListModel::repaintAll);
    showState();
}

void MigrationHistoryPanel::showContextMenu(const LinkMapping& mapping, MappingRowPart part,
                                            const QPoint& globalPos)
{
    // A record has no menu of its own, only its path lines have one; the keyboard, which cannot
    // point at a line, gets both lines' menus for the record as a whole.
    QMenu* menu = createMappingPathMenu(m_viewModel, mapping, part, this);
    if (!menu && part == MappingRowPart::record) {
        menu = createMappingRecordMenu(m_viewModel, mapping, this);
        menu->setObjectName(QStringLiteral("historyRecordMenu"));
    }
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void MigrationHistoryPanel::refresh()
{
    m_refresh->refreshNow();
}

void MigrationHistoryPanel::showState()
{
    MainViewModel& vm = m_viewModel;
    const Presentation& texts = vm.presentation();
    const HistoryState& history = vm.history();
    const bool undoMode = vm.browsing().undoModeActive();
    const QList<LinkMapping>& mappings = history.undoHistory();
    setTextIfChanged(m_hint, texts.localized({"开启\"我要反悔\"后在此查看历史。",
                                              "Turn on \"I Want Undo\" to view history here."}));
    m_hint->setVisible(!undoMode);
    m_header->setVisible(undoMode);
    m_empty->setVisible(undoMode && mappings.isEmpty());
    m_list->setVisible(undoMode && !mappings.isEmpty());
    if (!undoMode)
        return;

    const qsizetype marked = history.selectedUndoMappings().size();
    const QString count = QString::number(marked);
    setTextIfChanged(m_selection,
                     marked == 0
                         ? texts.localized({"未选择记录", "No record selected"})
                         : texts.localized({QStringLiteral("已选择 ") + count + QStringLiteral(" 条记录"),
                                            count + QStringLiteral(" record(s) selected")}));
    m_selectAll->setText(texts.localized({"全选", "Select All"}));
    m_selectAll->setEnabled(!mappings.isEmpty());
    m_clear->setText(texts.localized({"清空", "Clear"}));
    m_clear->setEnabled(marked > 0);
    setTextIfChanged(m_empty, texts.localized({"暂无迁移历史", "No migration history"}));
    MappingListModel* model = m_list->mappingModel();
    model->setMappings(mappings);
    model->setSelection(history.selectedUndoMappingIDs());
}

SelectionFooter::SelectionFooter(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("selectionFooter"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_count = textLabel(this, QStringLiteral("selectionCount"), TextStyle::Caption, LabelOption::Secondary);
    layout->addWidget(m_count);
    layout->addStretch(1);
    m_spinner = new BusyIndicator(QStringLiteral("undoSpinner"), BusyIndicator::Slim, this);
    layout->addWidget(m_spinner);
}

void SelectionFooter::refresh()
{
    setTextIfChanged(
        m_count, m_viewModel.presentation().localized(
                     {QStringLiteral("已选(文件/目录)"), QStringLiteral("Selected (files/folders)")}) +
                     QStringLiteral(": ") + QString::number(m_viewModel.browsing().selectedPaths().size()));
    m_spinner->setVisible(m_viewModel.activity().isUndoing());
}

} // namespace orvalink::ui
