// The pieces that keep the window inside its width: the eliding label, the flow layout's line
// limit and right alignment, the card grid that folds into one column, the sideways row that only
// makes room for its scroll bar when it shows one, the breadcrumbs that elide instead of scrolling,
// and the path field that elides until focused.
#include "UiTestSupport.h"
#include "ui/widgets/BreadcrumbRow.h"
#include "ui/widgets/CardGridLayout.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/SidewaysScrollArea.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

const QChar kEllipsis(0x2026);

QWidget* fixedBox(int width, int height, QWidget* parent)
{
    auto* box = new QWidget(parent);
    box->setFixedSize(width, height);
    return box;
}

// Gives `row` one chip per name, kept by the name; returns the chips.
QList<Chip*> showChips(BreadcrumbRow* row, const QStringList& names)
{
    row->syncChips(
        names, [](const QString& name) { return name; }, [](const QString&) { return new Chip; },
        [](Chip* chip, const QString& name) { chip->setText(name); });
    return row->chips();
}

int textWidth(const QWidget& widget, const QString& text)
{
    return widget.fontMetrics().horizontalAdvance(text);
}

} // namespace

class FitWidgetsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        test::prepareWidgetTests();
        if (const auto missing = test::missingPinnedFonts())
            QSKIP(qPrintable(*missing));
    }

    void oneLineLabelElides_data()
    {
        QTest::addColumn<Qt::TextElideMode>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("tail");
        QTest::newRow("prose loses its end")
            << Qt::ElideRight
            << QStringLiteral("The latest operation finished. The workspace will collapse in 5 seconds.")
            << QStringLiteral("The l") << QString(kEllipsis);
        QTest::newRow("a path loses its middle")
            << Qt::ElideMiddle
            << QStringLiteral("/home/someone/Projects/a very long folder name/and its child/data")
            << QStringLiteral("/home") << QStringLiteral("data");
        QTest::newRow("both languages")
            << Qt::ElideRight << QStringLiteral("当前系统卷占用 Current system volume usage")
            << QStringLiteral("当前系统卷") << QString(kEllipsis);
    }

    void oneLineLabelElides()
    {
        QFETCH(Qt::TextElideMode, mode);
        QFETCH(QString, text);
        ElidedLabel label(nullptr, mode);
        label.setText(text);
        // It asks for its whole text but makes do with a few characters.
        QVERIFY(label.sizeHint().width() >= textWidth(label, text));
        QVERIFY(label.minimumSizeHint().width() < 60);
        test::renderOffscreen(&label, QSize(label.sizeHint().width(), label.sizeHint().height()));
        QVERIFY(!label.isElided());
        QCOMPARE(label.shownText(), text);
        QVERIFY(label.toolTip().isEmpty());

        const QImage narrow = test::renderOffscreen(&label, QSize(120, label.sizeHint().height()));
        QVERIFY(label.isElided());
        QCOMPARE(label.text(), text);
        const QString shown = label.shownText();
        QTEST(shown.left(5), "head");
        QFETCH(QString, tail);
        QVERIFY2(shown.endsWith(tail) && shown.contains(kEllipsis), qPrintable(shown));
        QVERIFY(textWidth(label, shown) <= label.contentsRect().width());
        QCOMPARE(label.toolTip(), plainToolTip(text));
        // Nothing is drawn past the label's right edge: the last column stays empty.
        for (int y = 0; y < narrow.height(); ++y)
            QCOMPARE(qAlpha(narrow.pixel(narrow.width() - 1, y)), 0);
    }

    void linesUpToTheLimit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("elided");
        const QString sentence = QStringLiteral("Words that take a line of their own at this width. ");
        QTest::newRow("one short line") << QStringLiteral("Short") << 1 << false;
        QTest::newRow("wraps into two") << sentence + sentence << 2 << false;
        QTest::newRow("five lines into four")
            << (sentence + sentence + sentence + sentence + sentence) << 4 << true;
        QTest::newRow("hard breaks count") << QStringLiteral("a\nb\nc\nd\ne") << 4 << true;
        QTest::newRow("four hard lines fit") << QStringLiteral("a\nb\nc\nd") << 4 << false;
    }

    void linesUpToTheLimit()
    {
        QFETCH(QString, text);
        QFETCH(int, lines);
        QFETCH(bool, elided);
        ElidedLabel label(nullptr, Qt::ElideRight, 4);
        label.setText(text);
        const int width =
            textWidth(label, QStringLiteral("Words that take a line of their own at this width.")) + 8;
        const int height = label.heightForWidth(width);
        test::renderOffscreen(&label, QSize(width, height));
        const QStringList shown = label.shownText().split(QLatin1Char('\n'));
        QCOMPARE(shown.size(), lines);
        QCOMPARE(height, (lines - 1) * label.fontMetrics().lineSpacing() + label.fontMetrics().height());
        QCOMPARE(label.isElided(), elided);
        QCOMPARE(shown.last().endsWith(kEllipsis), elided);
        QCOMPARE(label.toolTip().isEmpty(), !elided);
        QVERIFY(shown.first().startsWith(text.left(1)));
        // What follows the fourth line's break stays out of it.
        if (text.contains(QLatin1Char('\n')) && elided)
            QCOMPARE(shown.last(), QStringLiteral("d") + kEllipsis);
        for (const QString& line : shown)
            QVERIFY2(textWidth(label, line) <= label.contentsRect().width(), qPrintable(line));
    }

    void flowGivesAnOverwideLabelTheLine()
    {
        QWidget host;
        auto* flow = new FlowLayout(&host, 8, 6);
        QWidget* box = fixedBox(60, 20, &host);
        auto* label = new ElidedLabel(&host);
        label->setText(QStringLiteral("A note far longer than the line it is given, so it must end early"));
        flow->addWidget(box);
        flow->addWidget(label);
        flow->setGeometry(QRect(0, 0, 200, 300));
        QCOMPARE(label->geometry().topLeft(), QPoint(0, 26));
        QCOMPARE(label->width(), 200);
        host.resize(200, 300);
        test::renderOffscreen(&host, QSize(200, 300));
        QVERIFY(label->isElided());
    }

    void flowPushesLinesRight()
    {
        QWidget host;
        auto* flow = new FlowLayout(&host, 8, 8);
        flow->setLineAlignment(Qt::AlignRight);
        QList<QWidget*> boxes;
        for (int i = 0; i < 3; ++i) {
            boxes.append(fixedBox(60, 20, &host));
            flow->addWidget(boxes.last());
        }
        flow->setGeometry(QRect(0, 0, 150, 100));
        QCOMPARE(boxes.at(0)->geometry().topLeft(), QPoint(22, 0));
        QCOMPARE(boxes.at(1)->geometry().topLeft(), QPoint(90, 0));
        QCOMPARE(boxes.at(2)->geometry().topLeft(), QPoint(90, 28));
    }

    void cardGridFoldsIntoOneColumn_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("height");
        // Four cards at least 100 wide, 12 apart; rows as tall as their tallest card (40 and 30).
        QTest::newRow("two columns exactly") << 212 << 2 << 40 + 12 + 30;
        QTest::newRow("one pixel short") << 211 << 1 << 40 + 12 + 40 + 12 + 30 + 12 + 30;
        QTest::newRow("wide still two") << 900 << 2 << 40 + 12 + 30;
    }

    void cardGridFoldsIntoOneColumn()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        QWidget host;
        auto* grid = new CardGridLayout(2, 100, 12, &host);
        QList<QWidget*> cards;
        for (int height : {40, 40, 30, 30}) {
            auto* card = new QWidget(&host);
            card->setMinimumSize(80, height);
            card->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
            cards.append(card);
            grid->addWidget(card);
        }
        QCOMPARE(grid->columnsFor(width), columns);
        QTEST(grid->heightForWidth(width), "height");
        grid->setGeometry(QRect(0, 0, width, 500));
        const int columnWidth = (width - (columns - 1) * 12) / columns;
        for (QWidget* card : cards) {
            QCOMPARE(card->width(), columnWidth);
            QVERIFY(card->geometry().right() < width);
        }
        QCOMPARE(cards.at(1)->geometry().top(), columns == 2 ? 0 : 52);
        QCOMPARE(grid->minimumSize().width(), 80);
    }

    void sidewaysRowMakesRoomForItsBarOnlyWhenItScrolls()
    {
        QWidget host;
        auto* layout = new QHBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* row = new SidewaysScrollArea(&host);
        auto* content = new QWidget;
        auto* chips = new QHBoxLayout(content);
        chips->setContentsMargins(0, 0, 0, 0);
        for (int i = 0; i < 5; ++i)
            chips->addWidget(fixedBox(60, 22, content));
        row->setContent(content);
        layout->addWidget(row);
        const int bar = row->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, row);

        test::renderOffscreen(&host, QSize(400, 100));
        QVERIFY(!row->overflows());
        QCOMPARE(row->height(), 22);
        QVERIFY(!row->horizontalScrollBar()->isVisible());

        test::renderOffscreen(&host, QSize(200, 100));
        QVERIFY(row->overflows());
        QCOMPARE(row->height(), 22 + bar);
        QVERIFY(row->horizontalScrollBar()->isVisible());
        QVERIFY(row->horizontalScrollBar()->maximum() > 0);
    }

    // The breadcrumbs never scroll: the current folder (last) gives up width first, down to a
    // readable part of its name; then the long parents, the middle ones first; a short name stays
    // whole; a path too deep even for every chip at its least hides middle chips. A chip cut short
    // loses its middle to "…" and carries its whole name as a plain tip.
    void breadcrumbsElideInsteadOfScrolling_data()
    {
        // How far the row falls short: the share of what the current folder, the long middle
        // folder and the first one can give before they are down to their readable part, or (at
        // -1) nearly all of the row. How each chip shows then: w(hole), c(ut short), h(idden).
        QTest::addColumn<double>("currentGives");
        QTest::addColumn<double>("middleGives");
        QTest::addColumn<double>("firstGives");
        QTest::addColumn<QString>("chipStates");
        QTest::newRow("all whole") << 0.0 << 0.0 << 0.0 << QStringLiteral("wwww");
        QTest::newRow("the current folder gives first") << 0.5 << 0.0 << 0.0 << QStringLiteral("wwwc");
        QTest::newRow("then the long middle one") << 1.0 << 0.5 << 0.0 << QStringLiteral("wwcc");
        QTest::newRow("then the first") << 1.0 << 1.0 << 0.5 << QStringLiteral("cwcc");
        QTest::newRow("too deep: a middle one hides") << -1.0 << 0.0 << 0.0 << QStringLiteral("chcc");
    }

    void breadcrumbsElideInsteadOfScrolling()
    {
        QFETCH(double, currentGives);
        QFETCH(double, middleGives);
        QFETCH(double, firstGives);
        QFETCH(QString, chipStates);
        QWidget host;
        auto* layout = new QHBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* row = new BreadcrumbRow(&host);
        layout->addWidget(row);
        const QStringList names{
            QStringLiteral("The first folder of the path, a rather long one"), QStringLiteral("Docs"),
            QStringLiteral("A folder in the middle whose name is long"),
            QStringLiteral("<b>The current</b> folder, whose name is the longest of them all")};
        const QList<Chip*> chips = showChips(row, names);
        QCOMPARE(chips.size(), names.size());
        for (const Chip* chip : chips)
            QCOMPARE(chip->parentWidget(), row);
        const int whole = row->sizeHint().width();
        QVERIFY(row->minimumSizeHint().width() < 40);
        // What a chip can give before only a readable part of its name is left.
        const auto gives = [](const Chip* chip) {
            return textWidth(*chip, chip->text()) - BreadcrumbRow::readableTextWidth(*chip);
        };
        QVERIFY(gives(chips.at(0)) > 20 && gives(chips.at(2)) > 20 && gives(chips.at(3)) > 20);
        QVERIFY(gives(chips.at(1)) < 0);
        const int shortBy = currentGives < 0
                                ? whole - 150
                                : int(currentGives * gives(chips.at(3)) + middleGives * gives(chips.at(2)) +
                                      firstGives * gives(chips.at(0)));
        test::renderOffscreen(&host, QSize(whole - shortBy + (shortBy == 0 ? 10 : 0), 40));

        QString states;
        const Chip* previous = nullptr;
        for (const Chip* chip : std::as_const(chips)) {
            if (!chip->isVisible()) {
                states += QLatin1Char('h');
                continue;
            }
            const bool isCut = chip->shownText() != chip->text();
            states += isCut ? QLatin1Char('c') : QLatin1Char('w');
            QCOMPARE(chip->shownText().contains(kEllipsis), isCut);
            QCOMPARE(chip->toolTip(), isCut ? plainToolTip(chip->text()) : QString());
            QVERIFY(chip->geometry().left() >= 0 && chip->geometry().right() < row->width());
            QVERIFY(textWidth(*chip, chip->shownText()) < chip->width());
            if (previous)
                QVERIFY(previous->geometry().right() < chip->geometry().left());
            previous = chip;
        }
        QCOMPARE(states, chipStates);

        // A chip whose name stays is kept; the others go once the event loop turns.
        QPointer<Chip> old = chips.first();
        const QList<Chip*> after = showChips(row, {QStringLiteral("Home"), names.constLast()});
        QCOMPARE(after.size(), 2);
        QCOMPARE(after.constLast(), chips.constLast());
        QVERIFY(old && !old->isVisible());
        QTRY_VERIFY(!old);
        QCOMPARE(after.constFirst()->text(), QStringLiteral("Home"));
    }

    void pathFieldElidesUntilFocused()
    {
        QWidget host;
        auto* layout = new QHBoxLayout(&host);
        auto* field = new SelectablePathField(&host);
        auto* other = new QLineEdit(&host);
        layout->addWidget(field);
        layout->addWidget(other);
        const QString path =
            QStringLiteral("/home/someone/Projects/a very long folder name/and its child/data");
        field->setText(path);
        test::renderOffscreen(&host, QSize(300, 40));
        const QString shown = field->shownText();
        QVERIFY2(shown.contains(kEllipsis) && shown.startsWith(QStringLiteral("/home")) &&
                     shown.endsWith(QStringLiteral("data")),
                 qPrintable(shown));
        QCOMPARE(field->text(), path);
        QCOMPARE(field->toolTip(), plainToolTip(path));

        QApplication::setActiveWindow(&host);
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        QCOMPARE(field->shownText(), path);
        other->setFocus();
        QTRY_VERIFY(!field->hasFocus());
        QCOMPARE(field->shownText(), shown);

        field->setText(QStringLiteral("/home"));
        QCOMPARE(field->shownText(), QStringLiteral("/home"));
        field->repaint();
        QVERIFY(field->toolTip().isEmpty());
    }
};

QTEST_MAIN(FitWidgetsTest)
#include "tst_fitwidgets.moc"
