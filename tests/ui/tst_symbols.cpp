#include "UiTestSupport.h"
#include "ui/widgets/Symbols.h"

#include <QSvgRenderer>
#include <QTest>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

// Every symbol name the window's views ask for.
const QStringList kViewSymbols = {
    QStringLiteral("arrow.right.circle.fill"),
    QStringLiteral("arrow.triangle.2.circlepath"),
    QStringLiteral("arrow.uturn.backward.circle.fill"),
    QStringLiteral("bolt.circle.fill"),
    QStringLiteral("bubble.left.and.exclamationmark.bubble.right.fill"),
    QStringLiteral("chart.bar.doc.horizontal"),
    QStringLiteral("checkmark.circle.fill"),
    QStringLiteral("checkmark.seal.fill"),
    QStringLiteral("circle"),
    QStringLiteral("exclamationmark.triangle.fill"),
    QStringLiteral("externaldrive.badge.plus"),
    QStringLiteral("externaldrive.fill"),
    QStringLiteral("folder.fill.badge.gearshape"),
    QStringLiteral("info.circle"),
    QStringLiteral("internaldrive.fill"),
    QStringLiteral("lock.rotation"),
    QStringLiteral("magnifyingglass"),
    QStringLiteral("person.badge.key.fill"),
    QStringLiteral("person.crop.circle.badge.checkmark"),
    QStringLiteral("person.crop.circle.fill"),
    QStringLiteral("slider.horizontal.3"),
    QStringLiteral("wand.and.stars"),
    QStringLiteral("wrench.and.screwdriver.fill"),
    QStringLiteral("xmark.circle.fill"),
    QStringLiteral("xmark.octagon.fill"),
};

struct InkStats {
    int inked = 0;     // pixels with any coverage
    int offTint = 0;   // well-covered pixels whose colour is not the tint
    int strongest = 0; // highest alpha
};

InkStats ink(const QImage& image, const QColor& tint)
{
    InkStats stats;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 0)
                continue;
            ++stats.inked;
            stats.strongest = std::max(stats.strongest, pixel.alpha());
            if (pixel.alpha() > 200 &&
                (qAbs(pixel.red() - tint.red()) > 8 || qAbs(pixel.green() - tint.green()) > 8 ||
                 qAbs(pixel.blue() - tint.blue()) > 8))
                ++stats.offTint;
        }
    }
    return stats;
}

QImage draw(const QIcon& icon, int size, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(size, size), mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class SymbolsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::prepareWidgetTests(); }

    void everyViewSymbolIsShipped()
    {
        const QStringList shipped = Symbols::names();
        for (const QString& name : kViewSymbols)
            QVERIFY2(shipped.contains(name) && Symbols::contains(name), qPrintable(name));
    }

    void everySymbolDrawsInItsTint_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : Symbols::names())
            QTest::newRow(qPrintable(name)) << name;
    }

    void everySymbolDrawsInItsTint()
    {
        QFETCH(QString, name);
        const QColor tint(200, 30, 90);
        for (int size : {16, 32}) {
            const InkStats stats = ink(draw(Symbols::icon(name, tint), size), tint);
            // Something visible that is a line icon, not a filled square.
            QVERIFY2(stats.inked > size, qPrintable(QStringLiteral("%1 px: %2").arg(size).arg(stats.inked)));
            QVERIFY(stats.inked < size * size * 9 / 10);
            QVERIFY(stats.strongest > 200);
            QCOMPARE(stats.offTint, 0);
        }
    }

    void disabledSymbolsAreFainter()
    {
        const QIcon icon = Symbols::icon(QStringLiteral("magnifyingglass"), Qt::black);
        QVERIFY(ink(draw(icon, 32, QIcon::Disabled), Qt::black).strongest < 140);
    }

    void untintedSymbolsFollowThePalette()
    {
        const QColor text = QGuiApplication::palette().color(QPalette::WindowText);
        QCOMPARE(ink(draw(Symbols::icon(QStringLiteral("info.circle")), 32), text).offTint, 0);
    }

    void unknownNameDrawsAPlaceholder()
    {
        QVERIFY(!Symbols::contains(QStringLiteral("no.such.symbol")));
        QVERIFY(!Symbols::contains(QString()));
        const QIcon icon = Symbols::icon(QStringLiteral("no.such.symbol"), Qt::red);
        QVERIFY(!icon.isNull());
        QVERIFY(ink(draw(icon, 16), Qt::red).inked > 16);
        QVERIFY(draw(icon, 16) != draw(Symbols::icon(QStringLiteral("circle"), Qt::red), 16));
    }

    void applicationIconIsValidSvg()
    {
        QSvgRenderer renderer(QStringLiteral(ORVALINK_APP_ICON));
        QVERIFY(renderer.isValid());
        QCOMPARE(renderer.viewBox(), QRect(0, 0, 128, 128));
    }
};

QTEST_MAIN(SymbolsTest)
#include "tst_symbols.moc"
