#include "ui/views/detail/UndoControls.h"

#include "ui/views/common/DashboardViewState.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/SmallButton.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QCheckBox>
#include <QPushButton>

namespace orvalink::ui {

UndoControls::UndoControls(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_state(state)
{
    setObjectName(QStringLiteral("undoControls"));
    // The switch and its three buttons wrap onto a second line where the column is narrow.
    auto* layout = new FlowLayout(this, 8, 6);
    m_undoMode = new QCheckBox(this);
    m_undoMode->setObjectName(QStringLiteral("undoModeToggle"));
    applyTextStyle(m_undoMode, TextStyle::Subheadline);
    layout->addWidget(m_undoMode);
    m_undoSelected = smallRunButton(this, QStringLiteral("undoSelectedButton"));
    m_undoLast = smallRunButton(this, QStringLiteral("undoLastButton"));
    m_migratedItems = smallButton(this, QStringLiteral("migratedItemsToggle"));
    for (QPushButton* button : {m_undoSelected, m_undoLast, m_migratedItems})
        layout->addWidget(button);

    MainViewModel* vm = &viewModel;
    connect(m_undoMode, &QCheckBox::toggled, this, [vm](bool on) { vm->workflows().setUndoMode(on); });
    connect(m_undoSelected, &QPushButton::clicked, this,
            [vm] { startDetached(vm->workflows().undoSelectedMigration()); });
    connect(m_undoLast, &QPushButton::clicked, this,
            [vm] { startDetached(vm->workflows().undoLastMigration()); });
    connect(m_migratedItems, &QPushButton::clicked, this,
            [this] { m_state.setShowMigratedItemsPanel(!m_state.showMigratedItemsPanel()); });

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&viewModel.browsing(), &BrowsingState::undoModeActiveChanged);
    scheduler->watch(&viewModel.history(), &HistoryState::undoHistoryChanged,
                     &HistoryState::selectedUndoMappingIDsChanged);
    // Whether an undo may start: the disk work that runs, not the progress of the work that runs.
    scheduler->watch(&viewModel.activity(), &ActivityState::diskWorkChanged);
    scheduler->watch(&state, &DashboardViewState::showMigratedItemsPanelChanged);
    refresh();
}

void UndoControls::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const HistoryState& history = m_viewModel.history();
    const bool undoMode = m_viewModel.browsing().undoModeActive();
    m_undoMode->setText(texts.localized({"我要反悔", "I Want Undo"}));
    if (m_undoMode->isChecked() != undoMode)
        m_undoMode->setChecked(undoMode);
    for (QPushButton* button : {m_undoSelected, m_undoLast, m_migratedItems})
        button->setVisible(undoMode);
    if (!undoMode)
        return;

    // Not while any disk work runs: a link repair may be rewriting the very link an undo removes.
    const bool busy = !m_viewModel.workflows().mayStartDiskWork();
    // Marks of mappings that have left the history are not counted.
    const qsizetype shownCount = history.selectedUndoMappings().size();
    const QString count = QString::number(shownCount);
    m_undoSelected->setText(
        shownCount < 2 ? texts.localized({"反悔所选记录", "Undo Selected"})
                       : texts.localized({QStringLiteral("反悔所选 ") + count + QStringLiteral(" 条"),
                                          QStringLiteral("Undo ") + count + QStringLiteral(" Selected")}));
    m_undoSelected->setEnabled(!busy && shownCount > 0);
    m_undoLast->setText(texts.localized({"反悔上次迁移", "Undo Last Move"}));
    m_undoLast->setEnabled(!busy && !history.undoHistory().isEmpty());
    m_migratedItems->setText(m_state.showMigratedItemsPanel()
                                 ? texts.localized({"关闭已迁移项目", "Hide Migrated Items"})
                                 : texts.localized({"显示已迁移项目", "Show Migrated Items"}));
}

} // namespace orvalink::ui
