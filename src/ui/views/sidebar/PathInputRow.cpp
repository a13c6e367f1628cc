#include "ui/views/sidebar/PathInputRow.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

PathInputRow::PathInputRow(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("pathInputRow"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    column->addLayout(row);

    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("pathInputField"));
    connect(m_field, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_viewModel.navigation().setPathInput(text); });
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        if (!m_viewModel.browsing().config().presentationPrivacyEnabled)
            m_viewModel.navigation().enterPathFromInput();
    });
    row->addWidget(m_field, 1);

    // Under privacy the masked path stands where the field was, as tall as the field, and the
    // notice takes the whole width below.
    m_masked = new QWidget(this);
    m_masked->setObjectName(QStringLiteral("maskedPathInput"));
    auto* maskedColumn = new QVBoxLayout(m_masked);
    maskedColumn->setContentsMargins(0, 0, 0, 0);
    auto* maskedPath = new ElidedLabel(m_masked, Qt::ElideMiddle);
    m_maskedPath = maskedPath;
    m_maskedPath->setObjectName(QStringLiteral("maskedPathText"));
    m_maskedPath->setFont(monoFont(12));
    m_maskedPath->setContentsMargins(10, 0, 10, 0);
    m_maskedPath->setFixedHeight(m_field->sizeHint().height());
    m_maskedPath->setAutoFillBackground(false);
    const QColor tint = withAlpha(palette().color(QPalette::WindowText), 0.08);
    m_maskedPath->setStyleSheet(
        QStringLiteral("QLabel#maskedPathText { background: rgba(%1,%2,%3,%4); border-radius: 8px; }")
            .arg(tint.red())
            .arg(tint.green())
            .arg(tint.blue())
            .arg(tint.alpha()));
    maskedColumn->addWidget(m_maskedPath);
    row->addWidget(m_masked, 1);

    m_open = new QPushButton(this);
    m_open->setObjectName(QStringLiteral("openDirectoryButton"));
    connect(m_open, &QPushButton::clicked, this, [this] { m_viewModel.navigation().enterPathFromInput(); });
    row->addWidget(m_open);

    m_privacyNotice = textLabel(this, QStringLiteral("pathInputPrivacyNotice"), TextStyle::Caption,
                                LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_privacyNotice);

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_viewModel.browsing(), &BrowsingState::pathInputChanged);
    refresh();
}

void PathInputRow::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const BrowsingState& browsing = m_viewModel.browsing();
    const bool privacy = browsing.config().presentationPrivacyEnabled;
    m_field->setVisible(!privacy);
    m_masked->setVisible(privacy);
    m_privacyNotice->setVisible(privacy);
    if (privacy) {
        m_maskedPath->setText(texts.displayPath(browsing.pathInput()));
        m_privacyNotice->setText(texts.localized(
            {QStringLiteral("演示模式已开启，真实路径输入已隐藏；如需手动输入路径，请先关闭脱敏。"),
             QStringLiteral(
                 "Presentation privacy is on, so the real path input is hidden. Turn it off before "
                 "typing a path manually.")}));
        // The hidden field must not keep the real path where a screenshot or a screen reader finds it.
        m_field->clear();
    } else {
        m_field->setPlaceholderText(
            texts.localized({"输入目录路径，例如 ~/Downloads", "Enter path, e.g. ~/Downloads"}));
        setTextIfChanged(m_field, browsing.pathInput());
    }
    m_open->setText(texts.localized({"进入目录", "Open Directory"}));
    m_open->setEnabled(!privacy);
}

} // namespace orvalink::ui
