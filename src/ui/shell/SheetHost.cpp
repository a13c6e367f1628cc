#include "ui/shell/SheetHost.h"

#include "ui/views/common/DashboardViewState.h"
#include "ui/views/common/SheetRegistry.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QDialog>
#include <QVBoxLayout>

namespace orvalink::ui {

SheetHost::SheetHost(MainViewModel& viewModel, DashboardViewState& state, QWidget* window, QObject* parent)
    : QObject(parent), m_viewModel(viewModel), m_state(state), m_window(window)
{
    connect(&m_state, &DashboardViewState::activeSheetChanged, this, &SheetHost::follow);
    // A language switch made inside the settings sheet relabels the dialog at once.
    connect(&m_viewModel.presentation(), &Presentation::textsChanged, this, &SheetHost::retitle);
    follow();
}

SheetHost::~SheetHost()
{
    closeDialog();
}

void SheetHost::follow()
{
    const std::optional<QuickSheet> wanted = m_state.activeSheet();
    if (wanted == m_shown && (m_dialog || !wanted))
        return;
    closeDialog();
    if (wanted)
        openDialog(*wanted);
}

void SheetHost::closeDialog()
{
    m_shown.reset();
    if (!m_dialog)
        return;
    QDialog* dialog = m_dialog;
    m_dialog = nullptr;
    // Replaced or withdrawn by the view state: closing it now must not clear the value again.
    disconnect(dialog, &QDialog::finished, this, nullptr);
    dialog->close();
    dialog->deleteLater();
}

void SheetHost::openDialog(QuickSheet sheet)
{
    auto* dialog = new QDialog(m_window);
    dialog->setObjectName(QStringLiteral("quickSheet"));
    dialog->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(sheetEntry(sheet).build(m_viewModel, dialog));
    m_dialog = dialog;
    m_shown = sheet;
    retitle();
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        if (m_dialog != dialog)
            return;
        m_dialog = nullptr;
        m_shown.reset();
        dialog->deleteLater();
        m_state.setActiveSheet(std::nullopt);
    });
    dialog->open();
}

void SheetHost::retitle()
{
    if (m_dialog && m_shown)
        m_dialog->setWindowTitle(m_viewModel.presentation().localized(sheetEntry(*m_shown).title));
}

} // namespace orvalink::ui
