#include "guide/GuideWindowRenderer.h"

#include "guide/ColumnFraming.h"
#include "guide/ExportError.h"
#include "ui/views/account/AccountSheetView.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/widgets/LayoutSettling.h"
#include "ui/widgets/Motion.h"
#include "ui/widgets/ShadowPixmap.h"
#include "ui/widgets/TextStyles.h"

#include <QApplication>
#include <QLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace orvalink::guide {
namespace {

constexpr qreal kCornerRadius = 24;
constexpr int kTitleBarHeight = 44;
// The backdrop around the window in every picture.
constexpr int kWindowPadding = 28;

struct GuideOverlay {
    QString title;
    QSize size;
    QImage content;
};

QPainterPath roundedShape(const QRectF& rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, kCornerRadius, kCornerRadius);
    return path;
}

// A rounded card: the soft shadow below, the content clipped to the corners, a hairline border.
void paintCard(QPainter& painter, const QRect& rect, const QImage& content, const ui::ShadowLook& shadow,
               qreal shadowDrop)
{
    ui::paintShadow(&painter, QRectF(rect).translated(0, shadowDrop), shadow);
    painter.save();
    painter.setClipPath(roundedShape(rect));
    painter.drawImage(rect.topLeft(), content);
    painter.restore();
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.08), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(roundedShape(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5)));
}

// The sheet as a window-like card: a title bar with the three window buttons, then the body.
QImage floatingSheet(const GuideOverlay& overlay)
{
    constexpr int barPadding = 20;
    constexpr int spacing = 8;
    constexpr int dot = 12;
    QImage image(overlay.size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        throw ExportError(ExportError::Case::bitmapUnavailable);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(0, 0, overlay.size.width(), kTitleBarHeight), QColor::fromRgbF(1, 1, 1, 0.75));
    const QColor dots[] = {QColor::fromRgbF(1.0, 0.37, 0.33), QColor::fromRgbF(1.0, 0.75, 0.2),
                           QColor::fromRgbF(0.19, 0.81, 0.35)};
    int x = barPadding;
    for (const QColor& color : dots) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QRectF(x, (kTitleBarHeight - dot) / 2.0, dot, dot));
        x += dot + spacing;
    }
    // Two flexible spaces around the title between the buttons and a 44-point clear box.
    const QFont font = ui::styledFont(ui::TextStyle::Headline, QApplication::font());
    painter.setFont(font);
    painter.setPen(QApplication::palette().color(QPalette::WindowText));
    const int leftEdge = x;
    const int rightEdge = overlay.size.width() - barPadding - 44 - spacing;
    painter.drawText(QRect(leftEdge, 0, rightEdge - leftEdge, kTitleBarHeight), Qt::AlignCenter,
                     overlay.title);
    painter.drawImage(QPoint(0, kTitleBarHeight), overlay.content);
    return image;
}

// A scroll area of a picture, which does not scroll: it shows no scroll bars.
QScrollArea* stillScrollArea(QWidget& root, const char* name)
{
    auto* area = root.findChild<QScrollArea*>(QString::fromLatin1(name));
    if (area) {
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    return area;
}

GuideOverlay overlayDescriptor(GuideOverlayKind kind, MainViewModel& viewModel, QSize canvasSize)
{
    const std::unique_ptr<QWidget> sheet = makeGuideSheet(kind, viewModel);
    const QSize size = guideSheetSize(canvasSize);
    switch (kind) {
    case GuideOverlayKind::account:
        return {QStringLiteral("账户中心"), size,
                renderGuideSheet(*sheet, QSize(size.width(), size.height() - kTitleBarHeight))};
    }
    Q_UNREACHABLE();
}

// A shown descendant of `root` by name, or null.
QWidget* shownChild(QWidget& root, const char* name)
{
    auto* child = root.findChild<QWidget*>(QString::fromLatin1(name));
    return child && child->isVisibleTo(&root) ? child : nullptr;
}

// The top and bottom of `widget` in the coordinates of the column's content.
std::pair<int, int> spanIn(const QScrollArea& column, const QWidget& widget)
{
    const int top = widget.mapTo(column.widget(), QPoint(0, 0)).y();
    return {top, top + widget.height()};
}

// The sidebar's search, directory list and information line are always in view below its groups;
// where the groups do not all fit above them, they show from the minimum size on, the control that
// decides the list's rows.
void scrollSidebar(QWidget& window)
{
    auto* column = window.findChild<QScrollArea*>(QStringLiteral("sidebarScroll"));
    QWidget* minSize = shownChild(window, "minSizeControls");
    if (!column || !column->widget() || !minSize)
        return;
    frameColumn(*column, {spanIn(*column, *minSize).first, column->widget()->height(), nullptr});
}

// The detail column shows the storage overview down to the selected size, which the selection
// steps change; a picture that opens the migrated-items panel is about that panel instead. The
// history panel takes any height the column grows by.
void scrollDetailColumn(QWidget& window)
{
    auto* column = window.findChild<QScrollArea*>(QStringLiteral("detailScroll"));
    if (!column)
        return;
    QWidget* subject = shownChild(window, "migratedItemsBox");
    if (!subject)
        subject = shownChild(window, "selectionSizeCard");
    const auto [top, bottom] = subject ? spanIn(*column, *subject) : std::pair{0, 0};
    frameColumn(*column, {top, bottom, shownChild(window, "migrationHistoryBox")});
}

} // namespace

void prepareGuideRendering()
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
        QApplication::setPalette(fusion->standardPalette());
    }
    ui::useApplicationFontFamilies();
    ui::setAnimationsEnabled(false);
}

QImage renderWidgetOffscreen(QWidget& widget, QSize size, const std::function<void(QWidget&)>& beforeRender)
{
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.resize(size);
    widget.show();
    ui::settleLayouts(widget);
    if (beforeRender) {
        beforeRender(widget);
        ui::settleLayouts(widget);
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        throw ExportError(ExportError::Case::bitmapUnavailable);
    image.setDevicePixelRatio(1);
    image.fill(widget.palette().color(QPalette::Window));
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    widget.hide();
    return image;
}

QSize guideSheetSize(QSize canvasSize)
{
    return QSize(1120, std::min(760, canvasSize.height() - 2 * kWindowPadding));
}

std::unique_ptr<QWidget> makeGuideSheet(GuideOverlayKind kind, MainViewModel& viewModel)
{
    switch (kind) {
    case GuideOverlayKind::account: {
        // Built like the window's sheet content builds it: the same state object, no initial focus.
        auto sheet = std::make_unique<ui::AccountSheetView>(viewModel, std::nullopt);
        sheet->setAppearHooksEnabled(false); // an export asks the account service nothing
        stillScrollArea(*sheet, "accountSheetScroll");
        return sheet;
    }
    }
    Q_UNREACHABLE();
}

QImage renderGuideSheet(QWidget& sheet, QSize size)
{
    return renderWidgetOffscreen(sheet, size, [](QWidget& root) {
        if (auto* body = root.findChild<QScrollArea*>(QStringLiteral("accountSheetScroll")))
            frameColumn(*body, {});
    });
}

std::unique_ptr<ui::MainDashboardView> makeGuideDashboard(MainViewModel& viewModel,
                                                          bool showMigratedItemsPanel)
{
    ui::DashboardOptions options;
    options.initialShowMigratedItemsPanel = showMigratedItemsPanel;
    options.shouldRunBootstrap = false;
    auto window = std::make_unique<ui::MainDashboardView>(viewModel, options);
    window->setAppearHooksEnabled(false);
    // The tour pictures show the window smaller than the least size a user can give it.
    window->setMinimumSize(0, 0);
    // A picture does not scroll: its columns show no scroll bars, and no row of theirs is cut (see
    // frameColumn()).
    stillScrollArea(*window, "sidebarScroll");
    stillScrollArea(*window, "detailScroll");
    stillScrollArea(*window, "activityBodyScroll");
    return window;
}

QImage renderGuideDashboard(ui::MainDashboardView& dashboard, QSize windowSize)
{
    return renderWidgetOffscreen(dashboard, windowSize, [](QWidget& window) {
        scrollSidebar(window);
        scrollDetailColumn(window);
    });
}

QImage renderGuideWindowImage(MainViewModel& viewModel, QSize canvasSize, QSize windowSize,
                              bool showMigratedItemsPanel, std::optional<GuideOverlayKind> overlay)
{
    const std::unique_ptr<ui::MainDashboardView> window =
        makeGuideDashboard(viewModel, showMigratedItemsPanel);
    const QImage windowImage = renderGuideDashboard(*window, windowSize);
    const std::optional<GuideOverlay> sheet =
        overlay ? std::optional<GuideOverlay>(overlayDescriptor(*overlay, viewModel, canvasSize))
                : std::nullopt;

    QImage canvas(canvasSize, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        throw ExportError(ExportError::Case::bitmapUnavailable);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient backdrop(QPointF(0, 0), QPointF(canvasSize.width(), canvasSize.height()));
    backdrop.setColorAt(0, QColor::fromRgbF(0.96, 0.93, 0.89));
    backdrop.setColorAt(1, QColor::fromRgbF(0.91, 0.95, 0.93));
    painter.fillRect(canvas.rect(), backdrop);

    const auto centred = [&](QSize size) {
        return QRect(
            QPoint((canvasSize.width() - size.width()) / 2, (canvasSize.height() - size.height()) / 2), size);
    };
    paintCard(painter, centred(windowSize), windowImage, {kCornerRadius, 32, QColor::fromRgbF(0, 0, 0, 0.14)},
              20);
    if (sheet) {
        painter.fillRect(canvas.rect(), QColor::fromRgbF(0, 0, 0, 0.12));
        paintCard(painter, centred(sheet->size), floatingSheet(*sheet),
                  {kCornerRadius, 36, QColor::fromRgbF(0, 0, 0, 0.2)}, 28);
    }
    return canvas;
}

} // namespace orvalink::guide
