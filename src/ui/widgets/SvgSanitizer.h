#pragma once

#include <QByteArray>
#include <optional>

namespace orvalink::ui {

// Rewrites an SVG document from an untrusted source into one that Qt's SVG renderer can draw
// without reaching outside it or running away. Only a fixed set of drawing elements and
// presentation attributes is copied; everything else is left out with its content. A document is
// refused as a whole when it:
// - holds a processing instruction (the XML declaration is not one), a DOCTYPE or an entity
//   reference: stylesheet links and entity expansion never reach the renderer;
// - holds an element that embeds or loads other content (<image>, <foreignObject>, <script>,
//   <style>, ...), or refers to anything but an existing element of its own by "#id" (href and
//   xlink:href on any element, url(...) in a kept value), or refers in a circle;
// - has more than kMaxElements elements or nests deeper than kMaxDepth, or would draw more than
//   kMaxDrawnElements elements, kMaxDrawnBytes of geometry and text or kMaxDrawnCharacters of text
//   once every <use> is expanded (shaping a run of combining marks takes long per character);
// - is not well-formed XML with an <svg> root.
// Other unknown elements and attributes are left out; so are dash patterns (a fine one on a long
// path takes seconds to stroke).
class SvgSanitizer {
public:
    static constexpr int kMaxElements = 4096;
    static constexpr int kMaxDepth = 32;
    static constexpr int kMaxDrawnElements = 2000;
    static constexpr qsizetype kMaxDrawnBytes = qsizetype(1) << 20;
    static constexpr qsizetype kMaxDrawnCharacters = 1000;

    // The rewritten document; none when it is refused.
    static std::optional<QByteArray> sanitize(const QByteArray& svg);
};

} // namespace orvalink::ui
