// The lists the window builds one widget per record (the suggestion cards, the breadcrumb chips,
// the blocked paths of strict mode) keep the widget of a record that stays across a change: the
// same widget, updated in place, in the new order, with the keyboard focus it had.
#include "SidebarTestWorld.h"
#include "UiTestSupport.h"
#include "ui/views/settings/SettingsSafetyGroup.h"
#include "ui/views/sidebar/SuggestionCard.h"
#include "ui/widgets/BreadcrumbRow.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/SelectablePathField.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/smart/SmartMigration.h"
#include "viewmodel/texts/Presentation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLayout>
#include <QPointer>
#include <QScrollArea>
#include <QTest>
#include <functional>

using namespace orvalink;
using namespace orvalink::test;

namespace {

using KeyOf = std::function<QString(const QWidget*)>;
using Kept = QHash<QString, QPointer<QWidget>>;

QString pathProperty(const QWidget* widget)
{
    return widget->property("path").toString();
}

// The widgets of `host`'s layout, in their order.
QList<QWidget*> laidOut(const QWidget* host)
{
    QList<QWidget*> widgets;
    for (int index = 0; index < host->layout()->count(); ++index) {
        if (QWidget* widget = host->layout()->itemAt(index)->widget())
            widgets.append(widget);
    }
    return widgets;
}

Kept byKey(const QList<QWidget*>& widgets, const KeyOf& keyOf)
{
    Kept kept;
    for (QWidget* widget : widgets)
        kept.insert(keyOf(widget), widget);
    return kept;
}

template <typename Widget> QList<QWidget*> widgetsOf(const QList<Widget*>& widgets)
{
    return QList<QWidget*>(widgets.cbegin(), widgets.cend());
}

// What is wrong with `after` against the widgets `before` showed, by key: keys not those expected,
// a key that stayed with a widget other than its own, a new key given a widget of another, or the
// widget of a key that went still alive once the event loop has turned.
QString keyedChangeFaults(const Kept& before, const QList<QWidget*>& after, const KeyOf& keyOf,
                          const QStringList& expected)
{
    QStringList keys;
    for (const QWidget* widget : after)
        keys.append(keyOf(widget));
    if (keys != expected)
        return QStringLiteral("shown %1, expected %2").arg(keys.join(u' '), expected.join(u' '));
    QStringList faults;
    for (const QWidget* widget : after) {
        const QString key = keyOf(widget);
        if (before.contains(key) ? before.value(key) != widget : before.values().contains(widget))
            faults.append(key + QStringLiteral(": not its own widget"));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!expected.contains(it.key()) && it.value())
            faults.append(it.key() + QStringLiteral(": still alive"));
    }
    return faults.join(u'\n');
}

// Folders Smart Migration suggests by their names; as empty ones, their cards stand in this order.
const QStringList kSuggestedFolders{QStringLiteral("Downloads"), QStringLiteral("Movies"),
                                    QStringLiteral("Pictures")};

} // namespace

class KeyedListsTest : public QObject, private SidebarTestWorld {
    Q_OBJECT

private:
    void openSidebar()
    {
        m_vm = m_fx->makeViewModelWithSettings();
        m_ui = std::make_unique<SidebarHarness>(vm());
        QVERIFY(m_ui->active);
        QVERIFY(m_ui->reload());
    }
    // The sidebar over a home holding `folders`, Smart Migration on and its cards unfolded.
    void openSuggestions(const QStringList& folders)
    {
        for (const QString& folder : folders)
            m_fx->tree.dir(folder);
        openSidebar();
        vm().settings().updateSmartMigrationEnabled(true);
        QVERIFY(waitUntilIdle(vm()));
        m_ui->settle();
        m_ui->find<QAbstractButton>("smartMigrationToggle")->click();
        m_ui->settle();
    }
    // The home holds `folders` of the suggested ones, and the sidebar has listed it again.
    void keepFolders(const QStringList& folders)
    {
        for (const QString& folder : kSuggestedFolders) {
            if (folders.contains(folder))
                m_fx->tree.dir(folder);
            else
                QVERIFY(QDir(home() + u'/' + folder).removeRecursively());
        }
        QVERIFY(m_ui->reload());
    }
    QList<QWidget*> cards() { return laidOut(m_ui->find<QWidget>("suggestionCards")); }
    QStringList homePaths(const QStringList& folders)
    {
        QStringList paths;
        for (const QString& folder : folders)
            paths.append(folder.isEmpty() ? home() : home() + u'/' + folder);
        return paths;
    }
    QList<QWidget*> chips() { return widgetsOf(m_ui->find<ui::BreadcrumbRow>("breadcrumbs")->chips()); }

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }
    void init() { m_fx = std::make_unique<ViewModelFixture>(); }
    void cleanup() { tearDown(); }

    void suggestionCardsAreKeptByTheirFolder_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("one added") << QStringList{"Downloads", "Pictures"}
                                   << QStringList{"Downloads", "Movies", "Pictures"};
        QTest::newRow("one gone") << QStringList{"Downloads", "Movies", "Pictures"}
                                  << QStringList{"Downloads", "Pictures"};
        QTest::newRow("first gone, last added")
            << QStringList{"Downloads", "Movies"} << QStringList{"Movies", "Pictures"};
        QTest::newRow("all replaced") << QStringList{"Downloads"} << QStringList{"Pictures"};
    }
    void suggestionCardsAreKeptByTheirFolder()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        openSuggestions(before);
        QCOMPARE(cards().size(), before.size());
        const Kept kept = byKey(cards(), pathProperty);
        keepFolders(after);
        const QString faults = keyedChangeFaults(kept, cards(), pathProperty, homePaths(after));
        QVERIFY2(faults.isEmpty(), qPrintable(faults));

        // In the Tab order right after the button that unfolds them, in their new order.
        m_ui->find<QWidget>("smartMigrationToggle")->setFocus(Qt::TabFocusReason);
        for (QWidget* card : cards()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), card);
        }
    }

    // A kept card shows what its suggestion says now: the path masked, the note in the language.
    void aKeptCardShowsTheSuggestionAsItIsNow()
    {
        openSuggestions({QStringLiteral("Pictures")});
        QPointer<QWidget> card = cards().value(0);
        QVERIFY(card);
        const auto line = [&](const char* name) {
            return card->findChild<ui::ElidedLabel*>(QString::fromLatin1(name))->text();
        };
        const QString shownPath = line("suggestionPath");
        const QString note = line("suggestionNote");
        vm().settings().setPresentationPrivacyEnabled(true);
        vm().settings().setLanguage(UILanguage::chinese);
        m_ui->settle();
        QCOMPARE(cards(), QList<QWidget*>{card.data()});
        const SmartMigrationSuggestion now = vm().smartMigration().smartMigrationSuggestions().value(0);
        QCOMPARE(line("suggestionPath"),
                 vm().presentation().displayPath(home() + QStringLiteral("/Pictures")));
        QVERIFY(line("suggestionPath") != shownPath);
        QCOMPARE(line("suggestionNote"), now.note);
        QVERIFY(line("suggestionNote") != note);
    }

    // The card the keyboard is on stays, and with it the focus; it still opens its folder.
    void aFocusedCardKeepsTheFocus()
    {
        openSuggestions({QStringLiteral("Downloads"), QStringLiteral("Pictures")});
        // Watched: a card made again would leave this one deleted.
        QPointer<QWidget> pictures = cards().value(1);
        QVERIFY(pictures);
        pictures->setFocus(Qt::TabFocusReason);
        keepFolders({QStringLiteral("Movies"), QStringLiteral("Pictures")});
        QVERIFY(pictures && cards().value(1) == pictures.data());
        QVERIFY(pictures->hasFocus());
        QTest::keyClick(pictures, Qt::Key_Return);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home() + QStringLiteral("/Pictures"));
        QVERIFY(waitUntilIdle(vm()));
    }

    void breadcrumbChipsAreKeptByTheirPath_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("deeper") << QString() << QStringLiteral("Alpha/Inner");
        QTest::newRow("up: the parent becomes current")
            << QStringLiteral("Alpha/Inner") << QStringLiteral("Alpha");
        QTest::newRow("sideways") << QStringLiteral("Alpha") << QStringLiteral("Beta");
    }
    void breadcrumbChipsAreKeptByTheirPath()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        for (const char* folder : {"Alpha/Inner", "Beta"})
            m_fx->tree.dir(QString::fromLatin1(folder));
        openSidebar();
        const auto go = [this](const QString& folder) {
            vm().navigation().navigate(homePaths({folder}).constFirst(), true);
            QVERIFY(waitUntilIdle(vm()));
            m_ui->settle();
        };
        go(from);
        const Kept kept = byKey(chips(), pathProperty);
        go(to);
        const QString faults =
            keyedChangeFaults(kept, chips(), pathProperty, vm().navigation().breadcrumbPaths());
        QVERIFY2(faults.isEmpty(), qPrintable(faults));
        const QString current = vm().browsing().currentDirectoryPath();
        for (const ui::Chip* chip : m_ui->find<ui::BreadcrumbRow>("breadcrumbs")->chips()) {
            QCOMPARE(chip->text(), vm().presentation().displayName(pathProperty(chip)));
            QCOMPARE(chip->tintAlpha(), pathProperty(chip) == current ? 0.18 : 0.0);
        }
    }

    // The chip the keyboard is on opens its folder and stays, focused, as the current one.
    void aFocusedChipKeepsTheFocus()
    {
        m_fx->tree.dir(QStringLiteral("Beta"));
        openSidebar();
        vm().navigation().navigate(home() + QStringLiteral("/Beta"), true);
        QVERIFY(waitUntilIdle(vm()));
        m_ui->settle();
        // Watched: a chip made again would leave this one deleted.
        QPointer<ui::Chip> homeChip = static_cast<ui::Chip*>(chips().value(chips().size() - 2));
        QCOMPARE(pathProperty(homeChip), home());
        QCOMPARE(homeChip->tintAlpha(), 0.0);
        homeChip->setFocus(Qt::TabFocusReason);
        QTest::keyClick(homeChip, Qt::Key_Return);
        QVERIFY(waitUntilIdle(vm()));
        m_ui->settle();
        QCOMPARE(vm().browsing().currentDirectoryPath(), home());
        QVERIFY(homeChip && chips().constLast() == homeChip.data());
        QVERIFY(homeChip->hasFocus());
        QCOMPARE(homeChip->tintAlpha(), 0.18);
    }

    // The rows follow the home folder in force; a row that stays is re-masked under privacy.
    void blockedPathRowsAreKeptByTheirPath()
    {
        m_vm = m_fx->makeViewModelWithSettings();
        ui::SettingsSafetyGroup group(vm());
        group.setAttribute(Qt::WA_DontShowOnScreen);
        group.show();
        group.findChild<QAbstractButton*>(QStringLiteral("blockedPathsButton"))->click();
        group.refresh();
        QWidget* host = group.findChild<QScrollArea*>(QStringLiteral("blockedPathsList"))->widget();
        const KeyOf rawPath = [](const QWidget* row) {
            return static_cast<const ui::SelectablePathField*>(row)->rawPath();
        };
        const Kept kept = byKey(laidOut(host), rawPath);
        QVERIFY(kept.contains(QStringLiteral("/boot/**")));
        QVERIFY(kept.contains(home()));

        const QString elsewhere = m_fx->home.path(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));
        m_fx->home.setEnv("HOME", elsewhere);
        group.refresh();
        const QString faults =
            keyedChangeFaults(kept, laidOut(host), rawPath, vm().settings().strictModeBlockedPaths());
        QVERIFY2(faults.isEmpty(), qPrintable(faults));

        auto* homeRow =
            static_cast<ui::SelectablePathField*>(byKey(laidOut(host), rawPath).value(elsewhere).data());
        QVERIFY(homeRow);
        QCOMPARE(homeRow->text(), elsewhere);
        vm().settings().setPresentationPrivacyEnabled(true);
        group.refresh();
        QCOMPARE(byKey(laidOut(host), rawPath).value(elsewhere), homeRow);
        QCOMPARE(homeRow->text(), vm().presentation().displayPath(elsewhere));
        QVERIFY(!homeRow->text().contains(elsewhere));

        // Closed, the list holds no rows.
        QPointer<QWidget> row = homeRow;
        group.findChild<QAbstractButton*>(QStringLiteral("blockedPathsButton"))->click();
        group.refresh();
        QVERIFY(laidOut(host).isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!row);
    }
};

QTEST_MAIN(KeyedListsTest)
#include "tst_keyedlists.moc"
