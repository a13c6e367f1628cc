#include "ui/views/sidebar/MinimumSizeText.h"

#include <QLocale>
#include <QTest>

using namespace orvalink::ui;

class MinimumSizeTextTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<double>("megabytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 500.0 << "500";
        QTest::newRow("just below whole") << 499.9999996 << "500";
        QTest::newRow("half") << 2.5 << "2.5";
        QTest::newRow("two decimals") << 0.75 << "0.75";
        QTest::newRow("zeros stripped") << 10.000002 << "10";
        QTest::newRow("rounds to zero") << 0.004 << "0";
        QTest::newRow("negative") << -0.5 << "-0.5";
        QTest::newRow("quarter") << 1.25 << "1.25";
        // Exact binary halves of the last digit go to the even digit, as printf has them.
        QTest::newRow("an eighth") << 0.125 << "0.12";
        QTest::newRow("three eighths") << 0.375 << "0.38";
        QTest::newRow("two and an eighth") << 2.125 << "2.12";
        QTest::newRow("whole part zeros kept") << 100.001 << "100";
        QTest::newRow("infinite") << qInf() << "";
        QTest::newRow("nan") << qQNaN() << "";
        QTest::newRow("beyond 64 bits") << 1e300 << "";
    }

    void text()
    {
        QFETCH(double, megabytes);
        QTEST(minSizeText(megabytes), "text");
    }

    void parse_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("megabytes");
        QTest::newRow("comma") << "1,5" << true << 1.5;
        QTest::newRow("point") << " 10.000002\n" << true << 10.000002;
        QTest::newRow("zero") << "0" << true << 0.0;
        QTest::newRow("negative") << "-5" << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("empty") << "  " << false << 0.0;
        QTest::newRow("inf") << "inf" << false << 0.0;
        QTest::newRow("nan") << "nan" << false << 0.0;
        QTest::newRow("huge") << "1e300" << false << 0.0;
        QTest::newRow("first size beyond 64 bits") << "8796093022208" << false << 0.0;
        QTest::newRow("largest size") << "8796093022207" << true << 8796093022207.0;
        QTest::newRow("thousands separator") << "1,000.5" << false << 0.0;
    }

    void parse()
    {
        QFETCH(QString, input);
        QFETCH(bool, accepted);
        QFETCH(double, megabytes);
        const std::optional<double> parsed = parseMinimumSizeInput(input);
        QCOMPARE(parsed.has_value(), accepted);
        if (parsed)
            QCOMPARE(*parsed, megabytes);
    }

    // The process locale (set by Qt from the environment) never changes how a number is read.
    void parseIgnoresTheProcessLocale()
    {
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const std::optional<double> parsed = parseMinimumSizeInput(QStringLiteral("1.5"));
        QLocale::setDefault(previous);
        QVERIFY(parsed);
        QCOMPARE(*parsed, 1.5);
    }
};

QTEST_GUILESS_MAIN(MinimumSizeTextTest)
#include "tst_minimumsizetext.moc"
