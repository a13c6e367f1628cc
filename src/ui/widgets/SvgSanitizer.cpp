#include "ui/widgets/SvgSanitizer.h"

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>

namespace orvalink::ui {

namespace {

const QString kSvgNamespace = QStringLiteral("http://www.w3.org/2000/svg");
const QString kXlinkNamespace = QStringLiteral("http://www.w3.org/1999/xlink");
const QString kXmlNamespace = QStringLiteral("http://www.w3.org/XML/1998/namespace");

// What a document is refused for; thrown out of the parse and caught by sanitize().
struct Refused {};

const QSet<QString>& drawingElements()
{
    static const QSet<QString> names{QStringLiteral("svg"),
                                     QStringLiteral("g"),
                                     QStringLiteral("defs"),
                                     QStringLiteral("symbol"),
                                     QStringLiteral("use"),
                                     QStringLiteral("path"),
                                     QStringLiteral("rect"),
                                     QStringLiteral("circle"),
                                     QStringLiteral("ellipse"),
                                     QStringLiteral("line"),
                                     QStringLiteral("polyline"),
                                     QStringLiteral("polygon"),
                                     QStringLiteral("text"),
                                     QStringLiteral("tspan"),
                                     QStringLiteral("linearGradient"),
                                     QStringLiteral("radialGradient"),
                                     QStringLiteral("stop")};
    return names;
}

// Elements that embed or load other content: a document that holds one is refused outright
// rather than drawn without it.
const QSet<QString>& embeddingElements()
{
    static const QSet<QString> names{QStringLiteral("image"),  QStringLiteral("foreignObject"),
                                     QStringLiteral("script"), QStringLiteral("style"),
                                     QStringLiteral("iframe"), QStringLiteral("feImage"),
                                     QStringLiteral("video"),  QStringLiteral("audio")};
    return names;
}

// Presentation properties, allowed as attributes and inside a style attribute.
const QSet<QString>& presentationProperties()
{
    static const QSet<QString> names{QStringLiteral("fill"),
                                     QStringLiteral("fill-opacity"),
                                     QStringLiteral("fill-rule"),
                                     QStringLiteral("stroke"),
                                     QStringLiteral("stroke-width"),
                                     QStringLiteral("stroke-opacity"),
                                     QStringLiteral("stroke-linecap"),
                                     QStringLiteral("stroke-linejoin"),
                                     QStringLiteral("stroke-miterlimit"),
                                     QStringLiteral("opacity"),
                                     QStringLiteral("color"),
                                     QStringLiteral("display"),
                                     QStringLiteral("visibility"),
                                     QStringLiteral("font-family"),
                                     QStringLiteral("font-size"),
                                     QStringLiteral("font-weight"),
                                     QStringLiteral("font-style"),
                                     QStringLiteral("text-anchor"),
                                     QStringLiteral("stop-color"),
                                     QStringLiteral("stop-opacity")};
    return names;
}

// Geometry and layout attributes.
const QSet<QString>& geometryAttributes()
{
    static const QSet<QString> names{QStringLiteral("x"),
                                     QStringLiteral("y"),
                                     QStringLiteral("x1"),
                                     QStringLiteral("y1"),
                                     QStringLiteral("x2"),
                                     QStringLiteral("y2"),
                                     QStringLiteral("cx"),
                                     QStringLiteral("cy"),
                                     QStringLiteral("r"),
                                     QStringLiteral("rx"),
                                     QStringLiteral("ry"),
                                     QStringLiteral("fx"),
                                     QStringLiteral("fy"),
                                     QStringLiteral("width"),
                                     QStringLiteral("height"),
                                     QStringLiteral("d"),
                                     QStringLiteral("points"),
                                     QStringLiteral("transform"),
                                     QStringLiteral("viewBox"),
                                     QStringLiteral("preserveAspectRatio"),
                                     QStringLiteral("version"),
                                     QStringLiteral("offset"),
                                     QStringLiteral("gradientUnits"),
                                     QStringLiteral("gradientTransform"),
                                     QStringLiteral("spreadMethod")};
    return names;
}

bool isGradient(const QString& name)
{
    return name == QLatin1String("linearGradient") || name == QLatin1String("radialGradient");
}

bool isTextElement(const QString& name)
{
    return name == QLatin1String("text") || name == QLatin1String("tspan");
}

bool isValidId(const QString& id)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.:-]{0,63}$"));
    return pattern.match(id).hasMatch();
}

// An element, or with an empty name a run of the characters of a text element.
struct Node {
    QString name;
    QList<std::pair<QString, QString>> attributes; // kept, in document order
    QString text;
    QList<int> children;
    QString href;             // the id a <use> or a gradient refers to; empty for none
    QStringList paintRefs;    // ids named by url(#id) in its attributes
    qsizetype dataBytes = 0;  // geometry and text it draws by itself
    qsizetype characters = 0; // text it draws by itself
};

class Parser {
public:
    explicit Parser(const QByteArray& svg) : m_reader(svg) {}

    void run()
    {
        QList<int> open;   // the kept elements enclosing the current position
        int skipDepth = 0; // > 0 inside an element that is left out
        int elements = 0;
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement:
                if (++elements > SvgSanitizer::kMaxElements ||
                    open.size() + skipDepth >= SvgSanitizer::kMaxDepth ||
                    embeddingElements().contains(m_reader.name().toString()))
                    throw Refused{};
                checkReferences();
                if (skipDepth > 0 || !isKept(open.isEmpty())) {
                    ++skipDepth;
                    break;
                }
                open.append(addNode(open.isEmpty() ? -1 : open.last()));
                break;
            case QXmlStreamReader::EndElement:
                if (skipDepth > 0)
                    --skipDepth;
                else
                    open.removeLast();
                break;
            case QXmlStreamReader::Characters:
                if (skipDepth == 0 && !open.isEmpty() && isTextElement(m_nodes[open.last()].name))
                    addText(open.last());
                break;
            case QXmlStreamReader::ProcessingInstruction:
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::EntityReference:
            case QXmlStreamReader::Invalid:
                throw Refused{};
            default: // the document's start and end, comments
                break;
            }
        }
        if (m_reader.hasError() || m_nodes.isEmpty())
            throw Refused{};
    }

    const QList<Node>& nodes() const { return m_nodes; }
    const QHash<QString, int>& ids() const { return m_ids; }

private:
    bool isKept(bool isRoot) const
    {
        const QStringView ns = m_reader.namespaceUri();
        const QString name = m_reader.name().toString();
        if (!ns.isEmpty() && ns != kSvgNamespace) {
            if (isRoot)
                throw Refused{};
            return false;
        }
        if (isRoot != (name == QLatin1String("svg"))) {
            if (isRoot)
                throw Refused{};
            return false; // a nested <svg> is left out
        }
        return drawingElements().contains(name);
    }

    // Whatever element it stands on, kept or not, a reference names an element of this document.
    void checkReferences() const
    {
        for (const QXmlStreamAttribute& attribute : m_reader.attributes()) {
            if (attribute.name() != QLatin1String("href"))
                continue;
            const QString target = attribute.value().trimmed().toString();
            if (!target.startsWith(QLatin1Char('#')) || !isValidId(target.mid(1)))
                throw Refused{};
        }
    }

    int addNode(int parent)
    {
        Node node;
        node.name = m_reader.name().toString();
        for (const QXmlStreamAttribute& attribute : m_reader.attributes())
            keepAttribute(node, attribute);
        const int index = int(m_nodes.size());
        m_nodes.append(std::move(node));
        if (parent >= 0)
            m_nodes[parent].children.append(index);
        return index;
    }

    void addText(int parent)
    {
        Node text;
        text.text = m_reader.text().toString();
        text.dataBytes = text.text.size();
        text.characters = text.text.size();
        m_nodes[parent].children.append(int(m_nodes.size()));
        m_nodes.append(std::move(text));
    }

    void keepAttribute(Node& node, const QXmlStreamAttribute& attribute)
    {
        const QStringView ns = attribute.namespaceUri();
        const QString name = attribute.name().toString();
        const QString value = attribute.value().toString();
        if (name == QLatin1String("href") && (ns.isEmpty() || ns == kXlinkNamespace)) {
            keepReference(node, value);
            return;
        }
        if (ns == kXmlNamespace && name == QLatin1String("space")) {
            node.attributes.append({QStringLiteral("xml:space"), value});
            return;
        }
        if (!ns.isEmpty())
            return;
        if (name == QLatin1String("id")) {
            if (isValidId(value) && !m_ids.contains(value)) {
                m_ids.insert(value, int(m_nodes.size()));
                node.attributes.append({name, value});
            }
            return;
        }
        if (name == QLatin1String("style")) {
            const QString style = filteredStyle(node, value);
            if (!style.isEmpty())
                node.attributes.append({name, style});
            return;
        }
        if (presentationProperties().contains(name)) {
            node.attributes.append({name, checkedValue(node, value)});
        } else if (geometryAttributes().contains(name)) {
            node.attributes.append({name, checkedValue(node, value)});
            if (name == QLatin1String("d") || name == QLatin1String("points"))
                node.dataBytes += value.size();
        }
    }

    // Only <use> and gradients refer to other elements, and only to one of this document.
    void keepReference(Node& node, const QString& value)
    {
        if (node.name != QLatin1String("use") && !isGradient(node.name))
            return;
        node.href = value.trimmed().mid(1); // its form is checked by checkReferences()
    }

    // A value may name paint servers of this document as url(#id), and nothing else.
    QString checkedValue(Node& node, const QString& value)
    {
        static const QRegularExpression local(QStringLiteral("url\\(\\s*#([A-Za-z_][A-Za-z0-9_.:-]*)\\s*\\)"),
                                              QRegularExpression::CaseInsensitiveOption);
        QString rest = value;
        for (auto match = local.globalMatch(value); match.hasNext();)
            node.paintRefs.append(match.next().captured(1));
        rest.remove(local);
        // Escapes and at-rules could spell a reference that the check above does not see.
        static const QRegularExpression anyUrl(QStringLiteral("url\\s*\\("),
                                               QRegularExpression::CaseInsensitiveOption);
        if (rest.contains(anyUrl) || rest.contains(QLatin1Char('\\')) || rest.contains(QLatin1Char('@')))
            throw Refused{};
        return value;
    }

    QString filteredStyle(Node& node, const QString& style)
    {
        QStringList kept;
        for (const QString& declaration : style.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
            if (colon <= 0)
                continue;
            const QString property = declaration.left(colon).trimmed();
            const QString value = checkedValue(node, declaration.mid(colon + 1).trimmed());
            if (presentationProperties().contains(property))
                kept.append(property + QLatin1Char(':') + value);
        }
        return kept.join(QLatin1Char(';'));
    }

    QXmlStreamReader m_reader;
    QList<Node> m_nodes;
    QHash<QString, int> m_ids;
};

// What a node draws once every <use> below it is expanded, saturating just past the limits.
struct Cost {
    qint64 elements = 0;
    qint64 bytes = 0;
    qint64 characters = 0;

    bool exceeds() const
    {
        return elements > SvgSanitizer::kMaxDrawnElements || bytes > SvgSanitizer::kMaxDrawnBytes ||
               characters > SvgSanitizer::kMaxDrawnCharacters;
    }
    void add(const Cost& other)
    {
        elements = std::min<qint64>(elements + other.elements, SvgSanitizer::kMaxDrawnElements + 1);
        bytes = std::min<qint64>(bytes + other.bytes, SvgSanitizer::kMaxDrawnBytes + 1);
        characters = std::min<qint64>(characters + other.characters, SvgSanitizer::kMaxDrawnCharacters + 1);
    }
};

class ExpansionCheck {
public:
    ExpansionCheck(const QList<Node>& nodes, const QHash<QString, int>& ids)
        : m_nodes(nodes), m_ids(ids), m_state(nodes.size(), State::Unvisited), m_costs(nodes.size())
    {}

    void run()
    {
        for (const Node& node : m_nodes) {
            for (const QString& id : node.paintRefs) {
                if (!m_ids.contains(id))
                    throw Refused{};
            }
            if (!node.href.isEmpty() && !m_ids.contains(node.href))
                throw Refused{};
        }
        if (cost(0).exceeds())
            throw Refused{};
    }

private:
    enum class State { Unvisited, Visiting, Done };

    // Follows children and references; meeting a node that is still being expanded is a circle.
    Cost cost(int index)
    {
        if (m_state[index] == State::Done)
            return m_costs[index];
        if (m_state[index] == State::Visiting)
            throw Refused{};
        m_state[index] = State::Visiting;
        const Node& node = m_nodes[index];
        Cost total{1, node.dataBytes, node.characters};
        for (const int child : node.children)
            total.add(cost(child));
        if (!node.href.isEmpty())
            total.add(cost(m_ids.value(node.href)));
        if (total.exceeds())
            throw Refused{};
        m_state[index] = State::Done;
        m_costs[index] = total;
        return total;
    }

    const QList<Node>& m_nodes;
    const QHash<QString, int>& m_ids;
    QList<State> m_state;
    QList<Cost> m_costs;
};

void writeNode(QXmlStreamWriter& writer, const QList<Node>& nodes, int index)
{
    const Node& node = nodes[index];
    if (node.name.isEmpty()) {
        writer.writeCharacters(node.text);
        return;
    }
    if (index == 0) {
        // Declared before the root starts, so that the root itself carries no prefix.
        writer.writeDefaultNamespace(kSvgNamespace);
        writer.writeNamespace(kXlinkNamespace, QStringLiteral("xlink"));
    }
    writer.writeStartElement(kSvgNamespace, node.name);
    for (const auto& [name, value] : node.attributes) {
        if (name == QLatin1String("xml:space"))
            writer.writeAttribute(kXmlNamespace, QStringLiteral("space"), value);
        else
            writer.writeAttribute(name, value);
    }
    if (!node.href.isEmpty())
        writer.writeAttribute(kXlinkNamespace, QStringLiteral("href"), QLatin1Char('#') + node.href);
    for (const int child : node.children)
        writeNode(writer, nodes, child);
    writer.writeEndElement();
}

} // namespace

std::optional<QByteArray> SvgSanitizer::sanitize(const QByteArray& svg)
{
    try {
        Parser parser(svg);
        parser.run();
        ExpansionCheck(parser.nodes(), parser.ids()).run();
        QByteArray clean;
        QXmlStreamWriter writer(&clean);
        writeNode(writer, parser.nodes(), 0);
        return clean;
    } catch (const Refused&) {
        return std::nullopt;
    }
}

} // namespace orvalink::ui
