#include "ui/widgets/DeadlinePaintDevice.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <numbers>

namespace orvalink::ui {

// Hands every call on to a painter on the target image while time remains. The painter in front
// passes everything untransformed with its state (all features claimed), so the image painter
// draws exactly what it would have drawn itself.
class DeadlinePaintEngine : public QPaintEngine {
public:
    static constexpr qreal kMaxExtent = 16;

    DeadlinePaintEngine(QImage* target, QDeadlineTimer deadline)
        : QPaintEngine(QPaintEngine::AllFeatures), m_target(target), m_deadline(deadline)
    {}

    bool missedDeadline() const { return m_missed; }

    bool begin(QPaintDevice*) override { return m_painter.begin(m_target); }
    bool end() override { return m_painter.end(); }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& next) override
    {
        const DirtyFlags dirty = next.state();
        if (dirty & DirtyTransform)
            m_painter.setTransform(next.transform());
        if (dirty & DirtyPen)
            m_painter.setPen(next.pen());
        if (dirty & DirtyBrush)
            m_painter.setBrush(next.brush());
        if (dirty & DirtyBrushOrigin)
            m_painter.setBrushOrigin(next.brushOrigin());
        if (dirty & DirtyFont)
            m_painter.setFont(next.font());
        if (dirty & DirtyBackground)
            m_painter.setBackground(next.backgroundBrush());
        if (dirty & DirtyBackgroundMode)
            m_painter.setBackgroundMode(next.backgroundMode());
        if (dirty & DirtyHints) {
            m_painter.setRenderHints(m_painter.renderHints(), false);
            m_painter.setRenderHints(next.renderHints(), true);
        }
        if (dirty & DirtyCompositionMode)
            m_painter.setCompositionMode(next.compositionMode());
        if (dirty & DirtyOpacity)
            m_painter.setOpacity(next.opacity());
        // A clip is given in the coordinates of the transform set above.
        if (dirty & DirtyClipRegion)
            m_painter.setClipRegion(next.clipRegion(), next.clipOperation());
        if (dirty & DirtyClipPath)
            m_painter.setClipPath(next.clipPath(), next.clipOperation());
        if (dirty & DirtyClipEnabled)
            m_painter.setClipping(next.isClipEnabled());
    }

    void drawRects(const QRectF* rects, int count) override
    {
        QRectF bounds;
        for (int i = 0; i < count; ++i)
            bounds |= rects[i];
        if (allowedShape(bounds))
            m_painter.drawRects(rects, count);
    }
    void drawLines(const QLineF* lines, int count) override
    {
        QRectF bounds;
        for (int i = 0; i < count; ++i)
            bounds |= QRectF(lines[i].p1(), lines[i].p2()).normalized();
        if (allowedShape(bounds))
            m_painter.drawLines(lines, count);
    }
    void drawEllipse(const QRectF& rect) override
    {
        if (allowedShape(rect))
            m_painter.drawEllipse(rect);
    }
    void drawPath(const QPainterPath& path) override
    {
        if (allowedShape(path.controlPointRect()))
            m_painter.drawPath(path);
    }
    void drawPoints(const QPointF* points, int count) override
    {
        if (allowedShape(QPolygonF(QList<QPointF>(points, points + count)).boundingRect()))
            m_painter.drawPoints(points, count);
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        if (!allowedShape(QPolygonF(QList<QPointF>(points, points + count)).boundingRect()))
            return;
        if (mode == PolylineMode)
            m_painter.drawPolyline(points, count);
        else
            m_painter.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    }
    void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF& source) override
    {
        if (allowed(target))
            m_painter.drawPixmap(target, pixmap, source);
    }
    void drawTiledPixmap(const QRectF& target, const QPixmap& pixmap, const QPointF& offset) override
    {
        if (allowed(target))
            m_painter.drawTiledPixmap(target, pixmap, offset);
    }
    void drawImage(const QRectF& target, const QImage& image, const QRectF& source,
                   Qt::ImageConversionFlags flags) override
    {
        if (allowed(target))
            m_painter.drawImage(target, image, source, flags);
    }
    void drawTextItem(const QPointF& position, const QTextItem& item) override
    {
        if (inTime())
            m_painter.drawTextItem(position, item);
    }

private:
    // Whether a stroked or filled shape with these logical bounds may be drawn: the pen widens it
    // by half its width, a mitred join by up to the miter limit times that. A pen wider than the
    // target is left out whatever it strokes: the stroker builds an outline around every point
    // of a path, with round joins a full circle each, and one call cannot be cut short.
    bool allowedShape(const QRectF& logical)
    {
        const qreal width = penWidthOnScreen();
        if (width > std::max(m_target->width(), m_target->height()))
            return false;
        const QPen& pen = m_painter.pen();
        const bool mitred = pen.joinStyle() == Qt::MiterJoin || pen.joinStyle() == Qt::SvgMiterJoin;
        const qreal reach =
            width / 2 *
            (mitred ? std::max<qreal>(pen.miterLimit(), std::numbers::sqrt2) : std::numbers::sqrt2);
        return allowed(logical, reach);
    }

    qreal penWidthOnScreen() const
    {
        const QPen& pen = m_painter.pen();
        if (pen.style() == Qt::NoPen)
            return 0;
        if (pen.isCosmetic())
            return std::max<qreal>(pen.widthF(), 1);
        const QRectF box = m_painter.transform().mapRect(QRectF(0, 0, pen.widthF(), pen.widthF()));
        return std::max(box.width(), box.height());
    }

    // Whether a shape with these logical bounds, reaching `reach` device pixels further out, may
    // be drawn: while time remains, and only when it spans at most kMaxExtent times the target
    // on screen (the rasterizer walks every edge over its whole length, in or out of the target:
    // a line a million pixels long takes a fifth of a second).
    bool allowed(const QRectF& logical, qreal reach = 0)
    {
        if (!inTime())
            return false;
        const QRectF device = m_painter.transform().mapRect(logical).adjusted(-reach, -reach, reach, reach);
        const qreal limit = kMaxExtent * std::max(m_target->width(), m_target->height());
        return device.width() <= limit && device.height() <= limit;
    }

    bool inTime()
    {
        if (!m_missed && m_deadline.hasExpired())
            m_missed = true;
        return !m_missed;
    }

    QImage* m_target;
    QDeadlineTimer m_deadline;
    QPainter m_painter;
    bool m_missed = false;
};

DeadlinePaintDevice::DeadlinePaintDevice(QImage* target, QDeadlineTimer deadline)
    : m_target(target), m_engine(std::make_unique<DeadlinePaintEngine>(target, deadline))
{}

DeadlinePaintDevice::~DeadlinePaintDevice() = default;

QPaintEngine* DeadlinePaintDevice::paintEngine() const
{
    return m_engine.get();
}

bool DeadlinePaintDevice::missedDeadline() const
{
    return m_engine->missedDeadline();
}

int DeadlinePaintDevice::metric(PaintDeviceMetric metric) const
{
    const QImage& image = *m_target;
    switch (metric) {
    case PdmWidth:
        return image.width();
    case PdmHeight:
        return image.height();
    case PdmWidthMM:
        return image.widthMM();
    case PdmHeightMM:
        return image.heightMM();
    case PdmNumColors:
        return image.colorCount();
    case PdmDepth:
        return image.depth();
    case PdmDpiX:
        return image.logicalDpiX();
    case PdmDpiY:
        return image.logicalDpiY();
    case PdmPhysicalDpiX:
        return image.physicalDpiX();
    case PdmPhysicalDpiY:
        return image.physicalDpiY();
    case PdmDevicePixelRatio:
        return int(image.devicePixelRatio());
    case PdmDevicePixelRatioScaled:
        return int(image.devicePixelRatio() * devicePixelRatioFScale());
    }
    return 0;
}

} // namespace orvalink::ui
