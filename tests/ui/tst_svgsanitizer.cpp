#include "ui/widgets/SvgSanitizer.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QTest>

using orvalink::ui::SvgSanitizer;

namespace {

QByteArray svg(const QByteArray& body)
{
    return "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
           "viewBox='0 0 10 10'>" +
           body + "</svg>";
}

QColor centreOf(const QByteArray& document)
{
    QSvgRenderer renderer(document);
    QImage image(QSize(20, 20), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, 20, 20));
    painter.end();
    return image.pixelColor(10, 10);
}

} // namespace

class SvgSanitizerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rules_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArrayList>("kept");    // texts the output holds
        QTest::addColumn<QByteArrayList>("dropped"); // texts it does not
        const QByteArray rect = "<rect width='10' height='10' fill='#f00'/>";

        QTest::newRow("drawing") << svg(rect + "<path d='M0 0L10 10' stroke='#00f'/>") << true
                                 << QByteArrayList{"<rect", "<path", "M0 0L10 10"} << QByteArrayList{};
        QTest::newRow("unknown elements left out with their content")
            << svg("<foo><rect id='inner'/></foo><filter id='f'/>" + rect) << true << QByteArrayList{"<rect"}
            << QByteArrayList{"foo", "inner", "filter"};
        QTest::newRow("nested svg left out") << svg("<svg><circle r='5'/></svg>" + rect) << true
                                             << QByteArrayList{"<rect"} << QByteArrayList{"circle"};
        QTest::newRow("unknown attributes left out")
            << svg("<rect width='10' height='10' fill='#f00' onload='alert(1)' stroke-dasharray='0.1' "
                   "class='c' requiredExtensions='x'/>")
            << true << QByteArrayList{"fill=\"#f00\""}
            << QByteArrayList{"onload", "dasharray", "class", "requiredExtensions"};
        QTest::newRow("style keeps presentation only")
            << svg("<rect width='10' height='10' style='fill:#f00; position:absolute;stroke-dasharray:1'/>")
            << true << QByteArrayList{"style=\"fill:#f00\""} << QByteArrayList{"position", "dasharray"};
        QTest::newRow("text keeps its order")
            << svg("<text y='5'>A<tspan>B</tspan>C<!-- note --></text>") << true
            << QByteArrayList{"A<tspan>B</tspan>C"} << QByteArrayList{"note"};
        QTest::newRow("local paint server")
            << svg("<defs><linearGradient id='g'><stop offset='0' stop-color='#0f0'/>"
                   "<stop offset='1' stop-color='#0f0'/></linearGradient></defs>"
                   "<rect width='10' height='10' fill='url(#g)'/>")
            << true << QByteArrayList{"url(#g)"} << QByteArrayList{};
        QTest::newRow("use of a local element")
            << svg("<defs><g id='a'>" + rect + "</g></defs><use xlink:href='#a'/>") << true
            << QByteArrayList{"xlink:href=\"#a\""} << QByteArrayList{};

        QTest::newRow("root is not svg")
            << QByteArray("<html><svg/></html>") << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("root in another namespace")
            << QByteArray("<svg xmlns='http://example.com/'><rect/></svg>") << false << QByteArrayList{}
            << QByteArrayList{};
        QTest::newRow("processing instruction")
            << "<?php echo 1; ?>" + svg(rect) << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("doctype") << "<!DOCTYPE svg>" + svg(rect) << false << QByteArrayList{}
                                 << QByteArrayList{};
        QTest::newRow("undeclared entity")
            << svg("<text>&x;</text>") << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("not well-formed")
            << QByteArray("<svg><rect></svg>") << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("use of a missing element")
            << svg("<use xlink:href='#nothing'/>") << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("use of a left-out element") << svg("<foo id='hidden'/><use xlink:href='#hidden'/>")
                                                   << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("paint server missing") << svg("<rect width='1' height='1' fill='url(#g)'/>") << false
                                              << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("gradients in a circle")
            << svg("<linearGradient id='a' xlink:href='#b'/><linearGradient id='b' xlink:href='#a'/>" + rect)
            << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("href to a site") << svg("<use href='https://example.com/a.svg#x'/>") << false
                                        << QByteArrayList{} << QByteArrayList{};

        QByteArray many;
        for (int i = 0; i < SvgSanitizer::kMaxElements; ++i)
            many += "<g/>";
        QTest::newRow("too many elements") << svg(many) << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("too deep") << svg(QByteArray("<g>").repeated(SvgSanitizer::kMaxDepth) + rect +
                                         QByteArray("</g>").repeated(SvgSanitizer::kMaxDepth))
                                  << false << QByteArrayList{} << QByteArrayList{};
        QByteArray uses = "<defs><g id='a'>" + rect + "</g></defs>";
        for (int i = 0; i < SvgSanitizer::kMaxDrawnElements; ++i)
            uses += "<use xlink:href='#a'/>";
        QTest::newRow("too much drawing once expanded")
            << svg(uses) << false << QByteArrayList{} << QByteArrayList{};
        const QByteArray marks = QString(SvgSanitizer::kMaxDrawnCharacters, QChar(0x0301)).toUtf8();
        QTest::newRow("text up to the limit")
            << svg("<text y='5'>" + marks + "</text>") << true << QByteArrayList{marks} << QByteArrayList{};
        QTest::newRow("too much text")
            << svg("<text y='5'>a" + marks + "</text>") << false << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("too much text once expanded")
            << svg("<defs><text id='t' y='5'>" + marks.left(marks.size() / 2 + 2) +
                   "</text></defs><use xlink:href='#t'/>")
            << false << QByteArrayList{} << QByteArrayList{};
    }

    void rules()
    {
        QFETCH(QByteArray, input);
        QFETCH(bool, accepted);
        QFETCH(QByteArrayList, kept);
        QFETCH(QByteArrayList, dropped);
        const std::optional<QByteArray> output = SvgSanitizer::sanitize(input);
        QCOMPARE(output.has_value(), accepted);
        if (!output)
            return;
        QVERIFY(QSvgRenderer(*output).isValid());
        for (const QByteArray& text : kept)
            QVERIFY2(output->contains(text), output->constData());
        for (const QByteArray& text : dropped)
            QVERIFY2(!output->contains(text), output->constData());
    }

    // What is kept still draws as it did.
    void keptDrawingLooksTheSame_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QColor>("centre");
        QTest::newRow("rect") << svg("<rect width='10' height='10' fill='#ff0000'/>") << QColor(255, 0, 0);
        QTest::newRow("gradient")
            << svg("<defs><linearGradient id='g'><stop offset='0' stop-color='#00ff00'/>"
                   "<stop offset='1' stop-color='#00ff00'/></linearGradient></defs>"
                   "<rect width='10' height='10' fill='url(#g)'/>")
            << QColor(0, 255, 0);
        QTest::newRow("use") << svg("<defs><rect id='r' width='10' height='10' fill='#0000ff'/></defs>"
                                    "<use xlink:href='#r'/>")
                             << QColor(0, 0, 255);
    }

    void keptDrawingLooksTheSame()
    {
        QFETCH(QByteArray, input);
        QFETCH(QColor, centre);
        const std::optional<QByteArray> output = SvgSanitizer::sanitize(input);
        QVERIFY(output);
        QCOMPARE(centreOf(*output), centre);
        QCOMPARE(centreOf(input), centre);
    }
};

QTEST_MAIN(SvgSanitizerTest)
#include "tst_svgsanitizer.moc"
