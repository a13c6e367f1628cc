#include "ui/views/sidebar/QuickAccessBar.h"

#include "ui/views/common/DashboardViewState.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/Clickable.h"
#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace orvalink::ui {

namespace {

const QColor kGreen(0x28, 0xa7, 0x45);
constexpr int kBadgeTextWidth = 280;

} // namespace

QuickAccessBar::QuickAccessBar(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_state(state)
{
    setObjectName(QStringLiteral("quickAccessBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->setSpacing(10);

    addSheetButtons(layout, SheetButtonPlace::leading);
    layout->addSpacing(8);
    layout->addStretch(1);

    m_badge = new Chip(QString(), this);
    m_badge->setObjectName(QStringLiteral("accountBadge"));
    m_badge->setSymbol(QStringLiteral("checkmark.seal.fill"));
    m_badge->setTint(kGreen, 0.12);
    m_badge->setForeground(kGreen);
    m_badge->setPadding(10, 7);
    m_badge->setMaximumTextWidth(kBadgeTextWidth);
    makeClickable(m_badge, [this] { m_state.setActiveSheet(QuickSheet::account); });
    layout->addWidget(m_badge);

    m_busy = new BusyIndicator(QStringLiteral("accountBusyIndicator"), BusyIndicator::Compact, this);
    layout->addWidget(m_busy);

    addSheetButtons(layout, SheetButtonPlace::trailing);

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_viewModel.accountState(), &AccountState::backendSessionChanged,
                     &AccountState::isBackendBusyChanged);
    refresh();
}

void QuickAccessBar::addSheetButtons(QHBoxLayout* layout, SheetButtonPlace place)
{
    for (const SheetEntry& sheet : sheetRegistry()) {
        if (sheet.button.place != place)
            continue;
        auto* button = new QPushButton(this);
        button->setObjectName(sheet.button.objectName.toString());
        if (sheet.button.prominent) {
            QPalette prominent = button->palette();
            prominent.setColor(QPalette::Button, prominent.color(QPalette::Highlight));
            prominent.setColor(QPalette::ButtonText, prominent.color(QPalette::HighlightedText));
            button->setPalette(prominent);
        }
        layout->addWidget(button);
        const QuickSheet kind = sheet.kind;
        connect(button, &QPushButton::clicked, this, [this, kind] { m_state.setActiveSheet(kind); });
        m_sheetButtons.append({&sheet, button, {}});
    }
}

void QuickAccessBar::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const bool signedIn = m_viewModel.accountState().backendSession().has_value();
    for (ShownButton& shown : m_sheetButtons) {
        const SheetButton& described = shown.sheet->button;
        const SheetButtonFace& face =
            !signedIn && described.signedOutFace ? *described.signedOutFace : described.face;
        shown.button->setText(texts.localized(face.label));
        if (face.symbol == shown.symbol)
            continue;
        shown.symbol = face.symbol.toString();
        // A prominent button's symbol takes its text colour; the others follow the palette.
        const QColor tint =
            described.prominent ? shown.button->palette().color(QPalette::ButtonText) : QColor();
        shown.button->setIcon(Symbols::icon(shown.symbol, tint));
    }

    const AccountTexts& accountTexts = m_viewModel.account().texts();
    const std::optional<QString> badge = accountTexts.backendAccountBadgeText();
    m_badge->setVisible(badge.has_value());
    if (badge) {
        m_badge->setText(*badge);
        setPlainToolTip(m_badge, accountTexts.backendAccountSummary());
    }
    m_busy->setVisible(m_viewModel.accountState().isBackendBusy());
}

void QuickAccessBar::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(box, 16, 16);
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, withAlpha(palette().color(QPalette::Highlight), 0.12));
    fill.setColorAt(1, palette().color(QPalette::Base));
    painter.fillPath(shape, fill);
    painter.setPen(QPen(withAlpha(palette().color(QPalette::WindowText), 0.08), 1));
    painter.drawPath(shape);
}

} // namespace orvalink::ui
