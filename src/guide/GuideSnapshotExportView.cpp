#include "guide/GuideSnapshotExportView.h"

#include "guide/GuideSnapshotExporter.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/flow/DetachedFlow.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace orvalink::guide {

GuideSnapshotExportView::GuideSnapshotExportView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("guideSnapshotExport"));
    setFixedSize(360, 180);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addStretch();
    auto* busy = new QProgressBar(this);
    busy->setObjectName(QStringLiteral("guideExportProgress"));
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    layout->addWidget(busy);
    auto* label = new QLabel(QStringLiteral("Rendering guide snapshots..."), this);
    label->setObjectName(QStringLiteral("guideExportLabel"));
    label->setAlignment(Qt::AlignCenter);
    ui::applyTextStyle(label, ui::TextStyle::Headline);
    layout->addWidget(label);
    layout->addStretch();
}

void GuideSnapshotExportView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_exportStarted)
        return;
    m_exportStarted = true;
    startDetached(exportIfNeeded());
}

} // namespace orvalink::guide
