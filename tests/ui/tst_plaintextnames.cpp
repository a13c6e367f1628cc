// Names, paths and e-mail addresses that look like markup are shown as they are, in labels and in
// their tool tips: never as a heading, never as an image loaded from a file.
#include "FileOpenProbe.h"
#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "WindowTestSupport.h"
#include "support/CurrentDirectory.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/LayoutSettling.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

using namespace orvalink;
using namespace orvalink::test;

namespace {

// What a tool tip shows, read as Qt reads it: its plain text and its markup.
struct ShownToolTip {
    QString text;
    QString html;
};

ShownToolTip shownToolTip(const QString& tip)
{
    QTextDocument document;
    if (Qt::mightBeRichText(tip))
        document.setHtml(tip);
    else
        document.setPlainText(tip);
    return {document.toPlainText(), document.toHtml()};
}

} // namespace

class PlainTextNamesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    void namesShowAsTheyAre_data()
    {
        QTest::addColumn<QString>("name");
        // A relative image source is looked up from the current folder, where the FIFO waits.
        QTest::newRow("image tag") << QStringLiteral("<img src=fifo>");
        QTest::newRow("heading") << QStringLiteral("<h1>Big</h1>");
    }

    void namesShowAsTheyAre()
    {
        QFETCH(QString, name);
        QTemporaryDir trap;
        FileOpenProbe probe(trap.filePath(QStringLiteral("fifo")));
        QVERIFY(probe.isValid() && probe.watch(trap.path()));
        const CurrentDirectory current(trap.path());

        ViewModelFixture fx;
        // Deep enough that the card's path line is elided whatever the font and the checkout's path,
        // so it carries a tip of its own.
        const QString deep = QStringList(4, QString(120, QLatin1Char('d'))).join(QLatin1Char('/'));
        const QString folder = fx.tree.dir(deep + QLatin1Char('/') + name);
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        vm->navigation().navigate(folder, true);
        QVERIFY(waitUntilIdle(*vm));
        const QString email = name + QStringLiteral("@example.com");
        const QDateTime now = QDateTime::currentDateTimeUtc();
        ViewModelInternals::context(*vm).accountState().setBackendSession(BackendSession{
            email, QStringLiteral("access"), QStringLiteral("refresh"), now.addSecs(3600), now});
        ViewModelInternals::context(*vm).activity().setCurrentOperationTitle(BilingualText::same(name));
        ViewModelInternals::context(*vm).activity().setDiskWork(DiskWork::migration);

        auto* card = w.window->findChild<QWidget*>(QStringLiteral("directorySizeCard"));
        QVERIFY(card);
        auto* path = card->findChild<QLabel*>(QStringLiteral("cardSubtitle"));
        auto* badge = w.window->findChild<ui::Chip*>(QStringLiteral("accountBadge"));
        auto* summary = w.window->findChild<QLabel*>(QStringLiteral("activitySummary"));
        QVERIFY(path && badge && summary);
        QTRY_VERIFY(path->text().endsWith(QLatin1Char('/') + name));
        QTRY_COMPARE(badge->text(), email);
        QTRY_VERIFY(summary->text().startsWith(name));
        for (QLabel* label : {path, summary})
            QCOMPARE(label->textFormat(), Qt::PlainText);

        ui::settleLayouts(*w.window);
        test::saveScreen(w.window->grab().toImage(),
                         QStringLiteral("plain-text-names-") + QString::fromLatin1(QTest::currentDataTag()));
        int tipsShown = 0;
        for (QWidget* widget : std::initializer_list<QWidget*>{path, badge, summary}) {
            // A label whose whole text fits carries no tip.
            if (widget->toolTip().isEmpty())
                continue;
            ++tipsShown;
            // Showing the tip lays its text out, which is when an image source would be read.
            QToolTip::showText(widget->mapToGlobal(widget->rect().center()), widget->toolTip(), widget);
            QTRY_VERIFY(QToolTip::isVisible());
            QToolTip::hideText();
            QCOMPARE(probe.openedFiles(), QStringList());
            const QString shownText = widget == badge ? email : qobject_cast<QLabel*>(widget)->text();
            const ShownToolTip tip = shownToolTip(widget->toolTip());
            QCOMPARE(tip.text, shownText);
            QVERIFY(!tip.html.contains(QStringLiteral("<img")));
            QVERIFY(!tip.html.contains(QStringLiteral("<h1")));
        }
        // The badge always carries its tip; the long test path is elided and carries its own.
        QVERIFY(tipsShown >= 2);
        QCOMPARE(probe.openedFiles(), QStringList());
        ViewModelInternals::context(*vm).activity().setDiskWork(DiskWork::none);
    }
};

QTEST_MAIN(PlainTextNamesTest)
#include "tst_plaintextnames.moc"
