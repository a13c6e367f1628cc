#include "ui/widgets/Symbols.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>
#include <memory>

// The resources live in a static library: nothing references their registration object, so the
// linker would drop it unless it is registered by hand once.
static void registerSymbolResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(symbols);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace orvalink::ui::Symbols {

namespace {

const QString kResourceDir = QStringLiteral(":/orvalink/symbols");
const QString kFallbackName = QStringLiteral("fallback");

QString resourcePath(const QString& name)
{
    registerSymbolResources();
    return kResourceDir + QLatin1Char('/') + name + QStringLiteral(".svg");
}

// Renders the symbol's SVG (drawn in "currentColor") in one concrete colour.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QByteArray svg, QColor tint) : m_svg(std::move(svg)), m_tint(tint) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const QColor color =
            m_tint.isValid() ? m_tint : QGuiApplication::palette().color(QPalette::WindowText);
        QSvgRenderer& renderer = rendererFor(color);
        const qreal opacity = color.alphaF() * (mode == QIcon::Disabled ? 0.4 : 1.0);
        if (opacity >= 1.0) {
            renderer.render(painter, QRectF(rect));
            return;
        }
        // The SVG's own styles reset the painter's opacity: draw it opaque, then fade the result.
        QImage layer(rect.size(), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        {
            QPainter layerPainter(&layer);
            layerPainter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&layerPainter, QRectF(QPointF(0, 0), QSizeF(rect.size())));
        }
        painter->save();
        painter->setOpacity(painter->opacity() * opacity);
        painter->drawImage(rect, layer);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        }
        return QPixmap::fromImage(std::move(image));
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QIconEngine* clone() const override { return new SymbolIconEngine(m_svg, m_tint); }

    QString key() const override { return QStringLiteral("OrvalinkSymbol"); }

private:
    QSvgRenderer& rendererFor(const QColor& color)
    {
        const QRgb rgb = color.rgb();
        if (!m_renderer || m_rendererRgb != rgb) {
            QByteArray coloured = m_svg;
            coloured.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
            m_renderer = std::make_unique<QSvgRenderer>(coloured);
            m_rendererRgb = rgb;
        }
        return *m_renderer;
    }

    QByteArray m_svg;
    QColor m_tint;
    std::unique_ptr<QSvgRenderer> m_renderer;
    QRgb m_rendererRgb = 0;
};

QByteArray readSymbol(const QString& name)
{
    QFile file(resourcePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

QStringList names()
{
    registerSymbolResources();
    QStringList result;
    const QStringList files =
        QDir(kResourceDir).entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        const QString name = file.chopped(4);
        if (name != kFallbackName)
            result.append(name);
    }
    return result;
}

bool contains(const QString& name)
{
    return !name.isEmpty() && name != kFallbackName && QFile::exists(resourcePath(name));
}

QIcon icon(const QString& name, const QColor& tint)
{
    // Views ask on every refresh and delegates on every paint: one icon per name and tint, built
    // (read, parsed) once. Main thread only, like every widget.
    // No tint (the palette's text colour at paint time) keys as an empty text.
    static QHash<QPair<QString, QString>, QIcon> built;
    const QPair<QString, QString> key(name, tint.isValid() ? tint.name(QColor::HexArgb) : QString());
    if (const auto found = built.constFind(key); found != built.cend())
        return *found;
    QByteArray svg = contains(name) ? readSymbol(name) : QByteArray();
    if (svg.isEmpty())
        svg = readSymbol(kFallbackName);
    const QIcon made(new SymbolIconEngine(std::move(svg), tint));
    built.insert(key, made);
    return made;
}

} // namespace orvalink::ui::Symbols
