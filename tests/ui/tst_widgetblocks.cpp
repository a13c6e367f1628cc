#include "UiTestSupport.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/CollapsibleSection.h"
#include "ui/widgets/ComboOptions.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/ElidingComboBox.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/MetaChip.h"
#include "ui/widgets/MetaChipRow.h"
#include "ui/widgets/Motion.h"
#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/RingGauge.h"
#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/Stepper.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"

#include <QAction>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>
#include <cmath>
#include <limits>
#include <memory>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

// `line` beside a button, as a path line stands in a row, drawn off screen.
QImage rowWith(QWidget* line, QWidget* host)
{
    auto* row = new QHBoxLayout(host);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(line, 1);
    row->addWidget(new QPushButton(QStringLiteral("Refresh"), host));
    return test::renderOffscreen(host, QSize(320, 40));
}

QWidget* fixedBox(int width, int height, QWidget* parent)
{
    auto* box = new QWidget(parent);
    box->setFixedSize(width, height);
    return box;
}

// A point on the ring's centre line at `degrees` clockwise from 12 o'clock.
QPoint ringPoint(const QImage& image, double degrees)
{
    const double radius = (std::min(image.width(), image.height()) - 10) / 2.0;
    const double radians = degrees * M_PI / 180.0;
    return QPoint(int(std::lround(image.width() / 2.0 + radius * std::sin(radians))),
                  int(std::lround(image.height() / 2.0 - radius * std::cos(radians))));
}

} // namespace

class WidgetBlocksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::prepareWidgetTests(); }
    void cleanup() { setAnimationsEnabled(false); }

    void chipIsItsTextPlusPaddingAndRoundAtTheEnds()
    {
        Chip chip(QStringLiteral("Last sync 3 min ago"));
        chip.setTint(QColor(Qt::blue), 0.5);
        const QFontMetrics metrics(chip.font());
        const QSize expected(metrics.horizontalAdvance(chip.text()) + 20, metrics.height() + 12);
        QCOMPARE(chip.sizeHint(), expected);

        const QImage image = test::renderOffscreen(&chip);
        QCOMPARE(image.size(), expected);
        const QRgb middle = image.pixel(image.width() / 2, image.height() / 2);
        QVERIFY(qAbs(qAlpha(middle) - 128) <= 2);
        QVERIFY(qBlue(middle) > qRed(middle));
        // Radius half the height: the middle row reaches the left edge, a row near the top starts
        // where the half circle does.
        const double r = image.height() / 2.0;
        QVERIFY(test::firstOpaqueColumn(image, image.height() / 2, 64) <= 1);
        const double y = 1.5;
        const double expectedStart = r - std::sqrt(r * r - (r - y) * (r - y));
        QVERIFY2(qAbs(test::firstOpaqueColumn(image, 1, 64) - expectedStart) <= 1.5,
                 qPrintable(QString::number(test::firstOpaqueColumn(image, 1, 64))));
    }

    void chipElidesInTheMiddleAndMakesRoomForItsSymbol()
    {
        Chip chip(QStringLiteral("someone.with.a.very.long.address@example.com"));
        const int plain = chip.sizeHint().width();
        chip.setMaximumTextWidth(80);
        QVERIFY(chip.shownText().contains(QChar(0x2026)));
        QVERIFY(chip.shownText().startsWith(QStringLiteral("some")));
        QVERIFY(chip.shownText().endsWith(QStringLiteral("com")));
        QVERIFY(chip.sizeHint().width() <= 80 + 20);
        QVERIFY(chip.sizeHint().width() < plain);

        Chip withSymbol(QStringLiteral("ok"));
        const int before = withSymbol.sizeHint().width();
        withSymbol.setSymbol(QStringLiteral("checkmark.seal.fill"));
        QCOMPARE(withSymbol.sizeHint().width(), before + withSymbol.fontMetrics().height() + 4);
    }

    // Menus of one row keep the width of their widest option; where the row is short the widest
    // give way first, down to what their first option needs, and a menu given less than its
    // option shows it cut short with the whole option as a plain tip.
    void menusShareTheirRowAndCutTheirOptionShort()
    {
        QWidget row;
        ElidingComboBox wide(&row);
        ElidingComboBox narrow(&row);
        wide.addItems(
            {QStringLiteral("Size"), QStringLiteral("Type + Size DESC, the <b>longest</b> option")});
        narrow.addItems({QStringLiteral("All"), QStringLiteral("Hidden")});
        fitCombosToOptions({&wide, &narrow});
        row.setAttribute(Qt::WA_DontShowOnScreen);
        row.show();
        const int wideWidth = wide.width();
        const int narrowWidth = narrow.width();
        QVERIFY(wideWidth > narrowWidth);
        wide.setCurrentIndex(1);
        QCOMPARE(wide.shownText(), wide.currentText());
        QVERIFY(wide.toolTip().isEmpty());

        // Room for less: the wide one gives way, the narrow one keeps its width.
        fitCombosToOptions({&wide, &narrow}, wideWidth + narrowWidth - 40);
        QCOMPARE(wide.width() + narrow.width(), wideWidth + narrowWidth - 40);
        QCOMPARE(narrow.width(), narrowWidth);
        QVERIFY(wide.shownText().endsWith(QChar(0x2026)));
        QCOMPARE(wide.toolTip(), plainToolTip(wide.currentText()));
        // Choosing the other option changes no width; one that fits has no tip.
        wide.setCurrentIndex(0);
        QCOMPARE(wide.width(), wideWidth - 40);
        QCOMPARE(wide.shownText(), QStringLiteral("Size"));
        QVERIFY(wide.toolTip().isEmpty());
        // A language switch relabels the options without a signal: the pointer resting on the
        // menu finds the new option's whole text, and a painted option that fits has no tip.
        relabelCombo(&wide, {QStringLiteral("大小 Size, in both languages and cut short"), wide.itemText(1)},
                     0);
        QVERIFY(wide.shownText().endsWith(QChar(0x2026)));
        QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), wide.mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(&wide, &hover);
        QCOMPARE(wide.toolTip(), plainToolTip(wide.currentText()));
        relabelCombo(&wide, {QStringLiteral("Size"), wide.itemText(1)}, 0);
        wide.grab();
        QVERIFY(wide.toolTip().isEmpty());

        // Too little room even for the first options: each keeps its widest, the row wraps.
        fitCombosToOptions({&wide, &narrow}, 20);
        QCOMPARE(wide.width(), wideWidth);
        QCOMPARE(narrow.width(), narrowWidth);
    }

    void collapsibleSectionShowsItsBodyOnlyWhileExpanded()
    {
        CollapsibleSection section;
        section.setTitle(QStringLiteral("Password Security"));
        section.setSymbol(QStringLiteral("lock.rotation"));
        section.setToggleTexts(QStringLiteral("Expand"), QStringLiteral("Collapse"));
        auto* summary = new QLabel(QStringLiteral("Change Sign-In Password"));
        auto* body = new QLabel(QStringLiteral("the form"));
        section.setSummary(summary);
        section.setBody(body);
        test::renderOffscreen(&section);
        QSignalSpy changes(&section, &CollapsibleSection::expandedChanged);

        QVERIFY(!section.isExpanded());
        QVERIFY(summary->isVisible());
        QVERIFY(!body->isVisible());
        QCOMPARE(section.toggleButton()->text(), QStringLiteral("Expand"));

        QTest::mouseClick(section.toggleButton(), Qt::LeftButton);
        QVERIFY(section.isExpanded());
        QVERIFY(body->isVisible());
        QVERIFY(summary->isVisible());
        QCOMPARE(section.toggleButton()->text(), QStringLiteral("Collapse"));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).toBool(), true);

        section.setExpanded(true); // no change, no signal
        QCOMPARE(changes.count(), 1);
        section.setExpanded(false);
        QVERIFY(!body->isVisible());
        QCOMPARE(section.toggleButton()->text(), QStringLiteral("Expand"));
        QCOMPARE(changes.count(), 2);

        // A new summary replaces the old one, which is gone.
        QPointer<QLabel> old(summary);
        section.setSummary(new QLabel(QStringLiteral("new")));
        QVERIFY(old.isNull());
    }

    void collapsibleSectionAnimationEndsInTheRightState()
    {
        setAnimationsEnabled(true);
        CollapsibleSection section;
        section.setToggleTexts(QStringLiteral("Expand"), QStringLiteral("Collapse"));
        auto* body = new QLabel(QStringLiteral("line\nline\nline"));
        section.setBody(body);
        test::renderOffscreen(&section, QSize(300, 200));

        QTest::mouseClick(section.toggleButton(), Qt::LeftButton);
        QVERIFY(body->isVisible());
        QTRY_COMPARE(section.findChild<QWidget*>(QStringLiteral("collapsibleBody"))->maximumHeight(),
                     QWIDGETSIZE_MAX);
        QTest::mouseClick(section.toggleButton(), Qt::LeftButton);
        QVERIFY(!section.isExpanded());
        QTRY_VERIFY(!body->isVisible());
        // Toggling back mid-way lands expanded.
        QTest::mouseClick(section.toggleButton(), Qt::LeftButton);
        QTest::mouseClick(section.toggleButton(), Qt::LeftButton);
        QTest::mouseClick(section.toggleButton(), Qt::LeftButton);
        QVERIFY(section.isExpanded());
        QTRY_COMPARE(section.findChild<QWidget*>(QStringLiteral("collapsibleBody"))->maximumHeight(),
                     QWIDGETSIZE_MAX);
        QVERIFY(body->isVisible());
    }

    void stepperStaysInsideItsRange_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<int>("direction");
        QTest::addColumn<double>("expected");
        QTest::addColumn<bool>("stepped");
        QTest::newRow("down from 5 stops at 0") << 5.0 << -1 << 0.0 << true;
        QTest::newRow("down at 0 does nothing") << 0.0 << -1 << 0.0 << false;
        QTest::newRow("up by a step") << 100.0 << 1 << 110.0 << true;
        QTest::newRow("up stops at the top") << 1048570.0 << 1 << 1048576.0 << true;
        QTest::newRow("up at the top does nothing") << 1048576.0 << 1 << 1048576.0 << false;
        QTest::newRow("up above the range does nothing") << 2000000.0 << 1 << 2000000.0 << false;
        QTest::newRow("down above the range comes back in") << 2000000.0 << -1 << 1048576.0 << true;
        QTest::newRow("up below the range comes back in") << -25.0 << 1 << 0.0 << true;
    }

    void stepperStaysInsideItsRange()
    {
        QFETCH(double, start);
        QFETCH(int, direction);
        Stepper stepper;
        stepper.setRange(0, 1048576);
        stepper.setStep(10);
        stepper.setValue(start);
        QSignalSpy stepped(&stepper, &Stepper::valueStepped);
        QToolButton* button = direction > 0 ? stepper.incrementButton() : stepper.decrementButton();
        QTest::keyClick(&stepper, direction > 0 ? Qt::Key_Up : Qt::Key_Down);
        QTEST(stepper.value(), "expected");
        QTEST(stepped.count() == 1, "stepped");
        if (stepped.count() == 1)
            QCOMPARE(stepped.at(0).at(0).toDouble(), stepper.value());
        // The button of a direction that cannot step is disabled.
        QCOMPARE(button->isEnabled(), direction > 0 ? stepper.value() < 1048576 : stepper.value() > 0);
    }

    void stepperButtonsStep()
    {
        Stepper stepper;
        stepper.setRange(0, 30);
        stepper.setStep(10);
        stepper.setLabelText(QStringLiteral("Min size: 0 MB"));
        test::renderOffscreen(&stepper);
        QVERIFY(!stepper.decrementButton()->isEnabled());
        QTest::mouseClick(stepper.incrementButton(), Qt::LeftButton);
        QTest::mouseClick(stepper.incrementButton(), Qt::LeftButton);
        QTest::mouseClick(stepper.incrementButton(), Qt::LeftButton);
        QCOMPARE(stepper.value(), 30.0);
        QVERIFY(!stepper.incrementButton()->isEnabled());
        QTest::mouseClick(stepper.decrementButton(), Qt::LeftButton);
        QCOMPARE(stepper.value(), 20.0);
        QCOMPARE(stepper.labelText(), QStringLiteral("Min size: 0 MB")); // the owner relabels
        stepper.setEnabled(false);
        QTest::keyClick(&stepper, Qt::Key_Up);
        QCOMPARE(stepper.value(), 20.0);
    }

    void flowLayoutWrapsAtTheRightEdge_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<QPoint>>("positions");
        QTest::addColumn<int>("height");
        // Four 60 × 20 items, 8 apart both ways.
        QTest::newRow("three fit exactly") << 196 << QList<QPoint>{{0, 0}, {68, 0}, {136, 0}, {0, 28}} << 48;
        QTest::newRow("one pixel short") << 195 << QList<QPoint>{{0, 0}, {68, 0}, {0, 28}, {68, 28}} << 48;
        QTest::newRow("one per line") << 100 << QList<QPoint>{{0, 0}, {0, 28}, {0, 56}, {0, 84}} << 104;
        QTest::newRow("all on one line") << 400 << QList<QPoint>{{0, 0}, {68, 0}, {136, 0}, {204, 0}} << 20;
    }

    void flowLayoutWrapsAtTheRightEdge()
    {
        QFETCH(int, width);
        QFETCH(QList<QPoint>, positions);
        QWidget host;
        auto* flow = new FlowLayout(&host, 8, 8);
        QList<QWidget*> items;
        for (int i = 0; i < 4; ++i) {
            items.append(fixedBox(60, 20, &host));
            flow->addWidget(items.last());
        }
        QTEST(flow->heightForWidth(width), "height");
        flow->setGeometry(QRect(0, 0, width, 500));
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(items.at(i)->geometry().topLeft(), positions.at(i));
    }

    void flowLayoutPutsAnOverwideItemOnItsOwnLineAndSkipsHiddenOnes()
    {
        QWidget host;
        auto* flow = new FlowLayout(&host, 8, 8);
        QWidget* wide = fixedBox(250, 20, &host);
        QWidget* hidden = fixedBox(60, 20, &host);
        QWidget* small = fixedBox(60, 30, &host);
        flow->addWidget(wide);
        flow->addWidget(hidden);
        flow->addWidget(small);
        hidden->hide();
        flow->setGeometry(QRect(0, 0, 200, 500));
        QCOMPARE(wide->geometry().topLeft(), QPoint(0, 0));
        QCOMPARE(small->geometry().topLeft(), QPoint(0, 28));
        QCOMPARE(flow->heightForWidth(200), 58);
        flow->setContentsMargins(5, 6, 7, 8);
        QCOMPARE(flow->heightForWidth(212), 6 + 58 + 8);
    }

    // A card updated in place hands its row the new texts: the chips stay where they stood and take
    // the texts in order, the row grows or shrinks at its end, and it still wraps.
    void metaChipRowReusesItsChipsInOrder_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("same") << QStringList{"2 migrated", "1 history"}
                              << QStringList{"2 migrated", "1 history"};
        QTest::newRow("changed text")
            << QStringList{"2 migrated", "1 history"} << QStringList{"3 migrated", "1 history"};
        QTest::newRow("grown") << QStringList{"2 migrated"}
                               << QStringList{"2 migrated", "1 history", "Latest"};
        QTest::newRow("shrunk") << QStringList{"2 migrated", "1 history", "Latest"}
                                << QStringList{"9 migrated"};
        QTest::newRow("emptied") << QStringList{"2 migrated"} << QStringList{};
    }

    void metaChipRowReusesItsChipsInOrder()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        MetaChipRow row(before);
        QList<QPointer<Chip>> chipsBefore;
        for (Chip* chip : row.findChildren<Chip*>())
            chipsBefore.append(chip);
        QCOMPARE(chipsBefore.size(), before.size());

        row.setTexts(after);
        QCOMPARE(row.texts(), after);
        QCOMPARE(row.layout()->count(), after.size());
        for (int index = 0; index < row.layout()->count(); ++index) {
            auto* chip = qobject_cast<MetaChip*>(row.layout()->itemAt(index)->widget());
            QVERIFY(chip);
            QCOMPARE(chip->text(), after.at(index));
            if (index < chipsBefore.size())
                QCOMPARE(chip, chipsBefore.at(index).data());
        }
        for (qsizetype index = after.size(); index < chipsBefore.size(); ++index)
            QVERIFY(chipsBefore.at(index).isNull());

        row.setTexts({QStringLiteral("first chip"), QStringLiteral("second chip")});
        const int oneLine = row.layout()->heightForWidth(1000);
        QVERIFY(oneLine > 0);
        QVERIFY(row.layout()->heightForWidth(row.findChildren<Chip*>().first()->sizeHint().width()) >
                oneLine);
    }

    void ringGaugeClampsItsRatio_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<double>("expected");
        QTest::newRow("inside") << 0.42 << 0.42;
        QTest::newRow("negative") << -0.5 << 0.0;
        QTest::newRow("above one") << 1.7 << 1.0;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 1.0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0.0;
    }

    void ringGaugeClampsItsRatio()
    {
        QFETCH(double, ratio);
        RingGauge gauge;
        gauge.setRatio(0.3);
        gauge.setRatio(ratio);
        QTEST(gauge.ratio(), "expected");
        QTEST(gauge.shownRatio(), "expected");
    }

    void ringGaugeFillsClockwiseFromTwelve()
    {
        RingGauge gauge;
        gauge.setTint(QColor(255, 0, 0));
        gauge.setRatio(0.25);
        const QImage image = test::renderOffscreen(&gauge, QSize(84, 84));
        // Inside the quarter (1 to 2 o'clock) the arc is drawn; at 7 and 10 o'clock only the track.
        const int arc = qAlpha(image.pixelColor(ringPoint(image, 60)).rgba());
        const int trackLeft = qAlpha(image.pixelColor(ringPoint(image, 210)).rgba());
        const int trackTop = qAlpha(image.pixelColor(ringPoint(image, 300)).rgba());
        QVERIFY2(arc > 120, qPrintable(QString::number(arc)));
        QVERIFY2(trackLeft < 60 && trackTop < 60,
                 qPrintable(QStringLiteral("%1 %2").arg(trackLeft).arg(trackTop)));
        // The colour deepens along the sweep.
        QVERIFY(qAlpha(image.pixel(ringPoint(image, 80))) > qAlpha(image.pixel(ringPoint(image, 15))));
    }

    void ringGaugeSweepsWhenAnimated()
    {
        setAnimationsEnabled(true);
        RingGauge gauge;
        test::renderOffscreen(&gauge, QSize(84, 84));
        gauge.setRatio(0.8);
        QCOMPARE(gauge.ratio(), 0.8);
        QVERIFY(gauge.shownRatio() < 0.8);
        QTRY_COMPARE(gauge.shownRatio(), 0.8);
    }

    void cardFrameKeepsItsContentInsideAndDrawsItsShadow()
    {
        CardFrame card;
        auto* layout = new QVBoxLayout(&card);
        layout->setContentsMargins(12, 12, 12, 12);
        auto* label = new QLabel(QStringLiteral("content"));
        layout->addWidget(label);
        const QImage image = test::renderOffscreen(&card, QSize(200, 120));
        const QRectF inside = card.cardRect();
        // Shadow room: blur 10 on every side, shifted 4 down.
        QCOMPARE(inside, QRectF(10, 6, 180, 100));
        QVERIFY(inside.contains(QRectF(label->geometry())));
        // Below the card the shadow shows; far away in the corner nothing does.
        QVERIFY(qAlpha(image.pixel(100, int(inside.bottom()) + 3)) > 0);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        // Material: the window colour, partly transparent.
        const QRgb fill = image.pixel(int(inside.center().x()), int(inside.top()) + 30);
        QVERIFY(qAlpha(fill) > 180 && qAlpha(fill) < 255);
    }

    void secondaryTextIsTheTextColourAtFiftyFivePercent()
    {
        QWidget parent;
        QPalette palette = parent.palette();
        palette.setColor(QPalette::WindowText, QColor(10, 20, 30));
        parent.setPalette(palette);
        auto* label = new QLabel(QStringLiteral("hint"), &parent);
        applySecondaryTextColor(label);
        applySecondaryTextColor(label); // twice is the same as once
        const QColor shown = label->palette().color(QPalette::WindowText);
        QCOMPARE(shown.rgb(), QColor(10, 20, 30).rgb());
        QCOMPARE(qRound(shown.alphaF() * 100), 55);
        QCOMPARE(label->palette().color(QPalette::Text), shown);
    }

    void toolTipsShowTheirTextAsItIs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("image tag") << QStringLiteral("<img src=/tmp/fifo>");
        QTest::newRow("heading") << QStringLiteral("<h1>Big</h1>");
        QTest::newRow("entity and ampersand") << QStringLiteral("a &amp; b & c");
        QTest::newRow("two lines") << QStringLiteral("first <b>\nsecond");
        QTest::newRow("plain") << QStringLiteral("/home/alice/Downloads");
    }

    void toolTipsShowTheirTextAsItIs()
    {
        QFETCH(QString, text);
        const QString tip = plainToolTip(text);
        // What Qt's tool tip shows is the document the tip's markup makes.
        QVERIFY(Qt::mightBeRichText(tip));
        QTextDocument document;
        document.setHtml(tip);
        QCOMPARE(document.toPlainText(), text);
        QVERIFY(!document.toHtml().contains(QStringLiteral("<img")));
        QVERIFY(plainToolTip(QString()).isEmpty());
    }

    void pathFieldCopiesTheSelectionOrTheWholePath()
    {
        SelectablePathField field;
        field.setCopyActionText(QStringLiteral("Copy Path"));
        field.setText(QStringLiteral("/home/someone/Movies/Library"));
        QVERIFY(field.isReadOnly());
        QVERIFY(!field.hasFrame());
        std::unique_ptr<QMenu> menu(field.createPathMenu(nullptr));
        QCOMPARE(menu->actions().size(), 1);
        QAction* copy = menu->actions().first();
        QCOMPARE(copy->text(), QStringLiteral("Copy Path"));

        QGuiApplication::clipboard()->clear();
        copy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), field.text());
        field.setSelection(6, 7);
        copy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("someone"));

        field.clear();
        std::unique_ptr<QMenu> emptyMenu(field.createPathMenu(nullptr));
        QVERIFY(!emptyMenu->actions().first()->isEnabled());

        // Given the real path, the field copies it whatever it shows or the user selected.
        field.setPath(QStringLiteral("/home/someone/Movies"), QStringLiteral("~/Movies"));
        field.setSelection(0, 3);
        copy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/home/someone/Movies"));
        field.setPath(QString(), QStringLiteral("Not set"));
        std::unique_ptr<QMenu> unsetMenu(field.createPathMenu(nullptr));
        QVERIFY(!unsetMenu->actions().first()->isEnabled());
    }

    // A flush path field stands where a selectable one-line label stood: as tall, and its text
    // drawn on the same pixels, whole or elided, in Latin or mixed script, in the caption font or
    // the monospace one.
    void flushPathFieldDrawsAsALabel_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("monospacePixels");
        for (int pixels : {0, 11}) {
            const QByteArray font = pixels ? "monospace" : "caption";
            QTest::newRow(font + ", latin") << "Current: /home/someone/Movies" << pixels;
            QTest::newRow(font + ", mixed") << "当前目录 Current: /home/someone/文档" << pixels;
            QTest::newRow(font + ", elided")
                << "/home/someone/文档/Projects/a very long folder name/and its child/data/and more"
                << pixels;
        }
    }

    void flushPathFieldDrawsAsALabel()
    {
        QFETCH(QString, text);
        QFETCH(int, monospacePixels);
        QWidget labelHost;
        auto* label = new ElidedLabel(&labelHost, Qt::ElideMiddle);
        if (monospacePixels) {
            QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            mono.setPixelSize(monospacePixels);
            label->setFont(mono);
        } else {
            applyTextStyle(label, TextStyle::Caption);
        }
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setText(text);
        const QImage asLabel = rowWith(label, &labelHost);

        QWidget fieldHost;
        auto* field =
            new SelectablePathField(&fieldHost, monospacePixels, SelectablePathField::Placement::Flush);
        if (!monospacePixels)
            field->setFont(styledFont(TextStyle::Caption, fieldHost.font()));
        field->setPath(QStringLiteral("/real"), text);
        const QImage asField = rowWith(field, &fieldHost);

        QCOMPARE(field->geometry(), label->geometry());
        QCOMPARE(field->focusPolicy(), Qt::ClickFocus);
        QVERIFY(asField == asLabel);
    }

    // One indicator for every busy place: indeterminate, of its size whatever room the layout
    // offers, hidden until its owner shows it.
    void busyIndicatorKeepsItsSize()
    {
        QWidget host;
        auto* row = new QHBoxLayout(&host);
        auto* busy = new BusyIndicator(QStringLiteral("busy"), BusyIndicator::Slim, &host);
        row->addWidget(busy, 1);
        test::renderOffscreen(&host, QSize(400, 80));
        QVERIFY(busy->isHidden());
        busy->show();
        QCoreApplication::processEvents();
        QCOMPARE(busy->size(), QSize(48, 6));
        QCOMPARE(busy->minimum(), busy->maximum());
        QVERIFY(!busy->isTextVisible());
        QCOMPARE(busy->objectName(), QStringLiteral("busy"));
    }

    // The label maker: plain text always (names may look like markup), the style's weight unless
    // an option overrides it, and each option doing what it names.
    void textLabelOptions_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("weight");
        QTest::newRow("headline keeps its weight") << int(TextStyle::Headline) << 0 << int(QFont::DemiBold);
        QTest::newRow("monospace headline keeps its weight")
            << int(TextStyle::Headline) << int(LabelOption::Monospace) << int(QFont::DemiBold);
        QTest::newRow("monospace, secondary")
            << int(TextStyle::Subheadline) << int(LabelOption::Monospace | LabelOption::Secondary)
            << int(QFont::Normal);
        QTest::newRow("caption") << int(TextStyle::Caption) << 0 << int(QFont::Normal);
        QTest::newRow("semibold, secondary")
            << int(TextStyle::Caption) << int(LabelOption::Semibold | LabelOption::Secondary)
            << int(QFont::DemiBold);
        QTest::newRow("bold, wrapping, selectable")
            << int(TextStyle::Title3) << int(LabelOption::Bold | LabelOption::Wrap | LabelOption::Selectable)
            << int(QFont::Bold);
    }

    void textLabelOptions()
    {
        QFETCH(int, style);
        QFETCH(int, options);
        QFETCH(int, weight);
        const LabelOptions chosen = LabelOptions::fromInt(options);
        QWidget parent;
        QLabel* label = textLabel(&parent, QStringLiteral("label"), TextStyle(style), chosen);
        QCOMPARE(label->objectName(), QStringLiteral("label"));
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->font().pixelSize(), styledFont(TextStyle(style), parent.font()).pixelSize());
        QCOMPARE(int(label->font().weight()), weight);
        QCOMPARE(label->font().family() == monoFont(10).family(), chosen.testFlag(LabelOption::Monospace));
        QCOMPARE(label->wordWrap(), chosen.testFlag(LabelOption::Wrap));
        QCOMPARE(bool(label->textInteractionFlags() & Qt::TextSelectableByMouse),
                 chosen.testFlag(LabelOption::Selectable));
        QCOMPARE(label->palette().color(QPalette::WindowText) == secondaryTextColor(parent.palette()),
                 chosen.testFlag(LabelOption::Secondary));
    }
};

QTEST_MAIN(WidgetBlocksTest)
#include "tst_widgetblocks.moc"
