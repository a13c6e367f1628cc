// The sidebar column driven as a user drives it, over a real state object in a temporary home:
// the list's keyboard and shortcuts, the minimum-size field, search, filters and the quick-access
// bar.
#include "SidebarTestWorld.h"
#include "UiTestSupport.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/DirectoryListView.h"
#include "ui/views/sidebar/DirectoryRowLayout.h"
#include "ui/views/sidebar/SuggestionCard.h"
#include "ui/views/sidebar/TargetVolumeGroup.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/Stepper.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>
#include <cstdio>

using namespace orvalink;
using namespace orvalink::test;

class SidebarColumnTest : public QObject, private SidebarTestWorld {
    Q_OBJECT

private:
    QString focused() { return vm().browsing().focusedEntryPath().value_or(QString()); }
    ui::DirectoryListView* list() { return m_ui->sidebar->listView(); }
    QString text(const char* labelName) { return m_ui->find<QLabel>(labelName)->text(); }
    bool shown(const char* name) { return m_ui->find<QWidget>(name)->isVisibleTo(m_ui->window.get()); }
    void press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(widget, Qt::Key(key), modifiers);
        m_ui->settle();
    }
    void click(const char* name)
    {
        QTest::mouseClick(m_ui->find<QAbstractButton>(name), Qt::LeftButton);
        m_ui->settle();
    }
    // Makes the folder "Gamma" and an ideograph the home's path lacks: a search for that ideograph
    // shows this folder alone, wherever the tests run. Its name.
    QString makeRarelyNamedFolder()
    {
        const QString name = QStringLiteral("Gamma ") + ideographMissingFrom(home());
        m_fx->tree.dir(name);
        return name;
    }

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    void init()
    {
        m_fx = std::make_unique<ViewModelFixture>();
        for (const char* name : {"Alpha/a.bin", "Beta/b.bin", "Gamma/c.bin"})
            m_fx->tree.fileOfSize(QString::fromLatin1(name), 4096);
        m_fx->tree.file(QStringLiteral("notes.txt"), "notes");
        m_fx->tree.file(QStringLiteral(".hidden"), "h");
        m_vm = m_fx->makeViewModelWithSettings([](AppConfig& config) { config.showHiddenFiles = false; });
        ViewModelInternals::context(vm()).browsing().setSortOption(SortOption::nameAsc);
        m_ui = std::make_unique<SidebarHarness>(vm());
        QVERIFY(m_ui->active);
        QVERIFY(m_ui->reload());
        QCOMPARE(shownNames(vm()), (QStringList{"Alpha", "Beta", "Gamma", "notes.txt"}));
    }

    void cleanup() { tearDown(); }

    // Taking the keyboard focus, the list focuses its first row; the arrows move on from there.
    void arrowsMoveTheFocusAndReturnOpens()
    {
        list()->setFocus();
        QCOMPARE(focused(), home() + "/Alpha");
        press(list(), Qt::Key_Down);
        press(list(), Qt::Key_Down);
        press(list(), Qt::Key_Up);
        QCOMPARE(focused(), home() + "/Beta");
        press(list(), Qt::Key_Left);
        press(list(), Qt::Key_Right);
        QCOMPARE(focused(), home() + "/Beta");
        QCOMPARE(vm().browsing().currentDirectoryPath(), home());
        QVERIFY(m_ui->sidebar->listModel()->index(1).data(ui::DirectoryListModel::IsFocusedRole).toBool());

        press(list(), Qt::Key_Return);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home() + "/Beta");
    }

    // A folder the search hides is no row to act on: the list, taking the focus back, focuses its
    // first shown row, and Return opens that one, never the hidden one.
    void returnOpensOnlyAFolderTheListShows()
    {
        const QString name = makeRarelyNamedFolder();
        QVERIFY(m_ui->reload());
        list()->setFocus();
        press(list(), Qt::Key_Down);
        QCOMPARE(focused(), home() + "/Beta");
        auto* search = m_ui->find<QLineEdit>("searchField");
        search->setFocus();
        commitTyped(search, name.right(1));
        m_ui->settle();
        QCOMPARE(shownNames(vm()), QStringList{name});
        QCOMPARE(focused(), home() + "/Beta");
        list()->setFocus();
        QCOMPARE(focused(), home() + '/' + name);
        press(list(), Qt::Key_Return);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home() + '/' + name);
    }

    // The path field's own example, typed as shown, opens that folder of the home.
    void thePathFieldsExampleOpens()
    {
        auto* field = m_ui->find<QLineEdit>("pathInputField");
        const QRegularExpressionMatch example =
            QRegularExpression(QStringLiteral("~/\\S+")).match(field->placeholderText());
        QVERIFY2(example.hasMatch(), qPrintable(field->placeholderText()));
        const QString folder = m_fx->tree.dir(example.captured().mid(2));
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, example.captured());
        press(field, Qt::Key_Return);
        QCOMPARE(vm().browsing().currentDirectoryPath(), folder);
        QVERIFY(!errorLine(vm()));
    }

    // Many rows: the focus walks off the visible part and the list follows it.
    void theListScrollsToTheFocus()
    {
        for (int i = 0; i < 80; ++i)
            m_fx->tree.file(QStringLiteral("file%1.txt").arg(i, 2, 10, QLatin1Char('0')), "x");
        QVERIFY(m_ui->reload());
        list()->setFocus();
        for (int i = 0; i < 69; ++i)
            press(list(), Qt::Key_Down);
        const QModelIndex row = m_ui->sidebar->listModel()->index(69);
        QCOMPARE(focused(), row.data(ui::DirectoryListModel::PathRole).toString());
        QVERIFY(list()->verticalScrollBar()->value() > 0);
        QVERIFY(list()->viewport()->rect().contains(list()->visualRect(row)));
    }

    // Back and Forward, by button and by Ctrl+[ / Ctrl+], only while there is somewhere to go.
    void backAndForwardShortcutsFollowTheirButtons()
    {
        QWidget* window = m_ui->window.get();
        auto* back = m_ui->find<QPushButton>("backButton");
        auto* forward = m_ui->find<QPushButton>("forwardButton");
        QVERIFY(!back->isEnabled());
        QVERIFY(!forward->isEnabled());
        press(window, Qt::Key_BracketLeft, Qt::ControlModifier);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home());

        list()->setFocus();
        press(list(), Qt::Key_Return);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home() + "/Alpha");
        QVERIFY(back->isEnabled());
        press(window, Qt::Key_BracketLeft, Qt::ControlModifier);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home());
        QVERIFY(!back->isEnabled());
        QVERIFY(forward->isEnabled());
        press(window, Qt::Key_BracketRight, Qt::ControlModifier);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home() + "/Alpha");
        QVERIFY(!forward->isEnabled());
        press(window, Qt::Key_BracketRight, Qt::ControlModifier);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home() + "/Alpha");
        click("upButton");
        QCOMPARE(vm().browsing().currentDirectoryPath(), home());
    }

    void ctrlRRescans()
    {
        const quint64 before = vm().loader().latestScanRequestID();
        press(m_ui->window.get(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(vm().loader().latestScanRequestID(), before + 1);
        QVERIFY(waitUntilIdle(vm()));
        click("rescanButton");
        QCOMPARE(vm().loader().latestScanRequestID(), before + 2);
        QVERIFY(waitUntilIdle(vm()));
    }

    // A click on a row moves the focus without ticking it; its checkbox ticks it without moving the
    // focus, and only a ticked row lets "Migrate Selected" start.
    void clickFocusesAndCheckboxSelects()
    {
        const auto pointOf = [this](int row, QRect ui::DirectoryRowLayout::*part) {
            const QModelIndex index = m_ui->sidebar->listModel()->index(row);
            return (ui::DirectoryRowLayout::compute(list()->visualRect(index), index, list()->font()).*part)
                .center();
        };
        auto* migrate = m_ui->find<QPushButton>("migrateSelectedButton");
        QVERIFY(!migrate->isEnabled());
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, pointOf(2, &ui::DirectoryRowLayout::name));
        m_ui->settle();
        QCOMPARE(focused(), home() + "/Gamma");
        QVERIFY(vm().browsing().selectedPaths().isEmpty());
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          pointOf(0, &ui::DirectoryRowLayout::checkbox));
        m_ui->settle();
        QCOMPARE(vm().browsing().selectedPaths(), QSet<QString>{home() + "/Alpha"});
        QCOMPARE(focused(), home() + "/Gamma");
        QVERIFY(migrate->isEnabled());
        click("clearSelectionButton");
        QVERIFY(vm().browsing().selectedPaths().isEmpty());
        QCOMPARE(vm().browsing().selectedSizeBytes(), 0);
        QVERIFY(!migrate->isEnabled());
    }

    void minimumSizeField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byApply");
        QTest::addColumn<double>("stored"); // NaN: the setting stays as it was
        QTest::addColumn<QString>("shown"); // empty: the text of the setting in force
        const double kept = std::nan("");
        QTest::newRow("decimal comma") << "1,5" << false << 1.5 << "1.5";
        QTest::newRow("near a whole number") << "10.000002" << true << 10.000002 << "10";
        QTest::newRow("spaces around") << "  250 " << false << 250.0 << "250";
        QTest::newRow("negative") << "-5" << false << kept << QString();
        QTest::newRow("letters") << "abc" << true << kept << QString();
        QTest::newRow("infinity") << "inf" << false << kept << QString();
        QTest::newRow("too many bytes") << "8796093022208" << false << kept << QString();
        // Exact binary halves: the field and the stepper round as C's printf does, to even.
        QTest::newRow("two and a half") << "2.5" << false << 2.5 << "2.5";
        QTest::newRow("an eighth") << "0.125" << true << 0.125 << "0.12";
        QTest::newRow("three and three eighths") << "3.375" << false << 3.375 << "3.38";
    }

    void minimumSizeField()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byApply);
        QFETCH(double, stored);
        QFETCH(QString, shown);
        const double before = vm().browsing().minSizeMB();
        const quint64 scans = vm().loader().latestScanRequestID();
        auto* field = m_ui->find<QLineEdit>("minSizeField");
        field->setFocus();
        QVERIFY(m_ui->state.minSizeInputFocused());
        field->selectAll();
        QTest::keyClicks(field, typed);
        QCOMPARE(m_ui->state.minSizeInput(), typed);
        if (byApply)
            click("minSizeApplyButton");
        else
            press(field, Qt::Key_Return);

        const double expected = std::isnan(stored) ? before : stored;
        QCOMPARE(vm().browsing().minSizeMB(), expected);
        QCOMPARE(field->text(), shown.isEmpty() ? QString::number(qRound64(before)) : shown);
        QCOMPARE(m_ui->state.minSizeInput(), field->text());
        QCOMPARE(vm().loader().latestScanRequestID() > scans, !std::isnan(stored));
        char whole[64];
        std::snprintf(whole, sizeof whole, "%.0f", expected);
        QCOMPARE(m_ui->find<ui::Stepper>("minSizeStepper")->labelText(),
                 QStringLiteral("Min size: %1 MB").arg(QString::fromLatin1(whole)));
        QVERIFY(waitUntilIdle(vm()));
    }

    void searchCountsMatchesAndSaysWhenNothingMatches()
    {
        const QString name = makeRarelyNamedFolder();
        QVERIFY(m_ui->reload());
        const QString query = name.right(1);
        auto* field = m_ui->find<QLineEdit>("searchField");
        QCOMPARE(text("matchCount"), QStringLiteral("Match 5 items"));
        QVERIFY(!shown("clearSearchButton"));
        commitTyped(field, query);
        m_ui->settle();
        QCOMPARE(vm().browsing().searchQuery(), query);
        QCOMPARE(shownNames(vm()), QStringList{name});
        QCOMPARE(m_ui->sidebar->listModel()->rowCount(), 1);
        QCOMPARE(text("matchCount"), QStringLiteral("Match 1 items"));
        QVERIFY(!shown("noMatchText"));

        QTest::keyClicks(field, "zzz");
        m_ui->settle();
        QCOMPARE(text("matchCount"), QStringLiteral("Match 0 items"));
        QVERIFY(shown("noMatchText"));
        QCOMPARE(text("noMatchText"), QStringLiteral("No matching results"));

        click("clearSearchButton");
        QCOMPARE(vm().browsing().searchQuery(), QString());
        QCOMPARE(field->text(), QString());
        QCOMPARE(m_ui->sidebar->listModel()->rowCount(), 5);
        QVERIFY(!shown("noMatchText"));

        // Spaces only: something to clear, nothing that could fail to match.
        QTest::keyClicks(field, "   ");
        m_ui->settle();
        QVERIFY(shown("clearSearchButton"));
        QVERIFY(!shown("noMatchText"));
    }

    void filtersAndSwitches()
    {
        auto* fileType = m_ui->find<QComboBox>("fileTypePicker");
        QCOMPARE(fileType->count(), 11);
        QCOMPARE(fileType->itemText(1), QStringLiteral("Folders"));
        press(fileType, Qt::Key_Down);
        QCOMPARE(vm().browsing().fileTypeFilter(), FileTypeFilter::folder);
        QCOMPARE(shownNames(vm()), (QStringList{"Alpha", "Beta", "Gamma"}));
        QCOMPARE(text("matchCount"), QStringLiteral("Match 3 items"));

        auto* sort = m_ui->find<QComboBox>("sortPicker");
        QCOMPARE(sort->currentText(), QStringLiteral("Name"));
        press(sort, Qt::Key_Down);
        QCOMPARE(vm().browsing().sortOption(), SortOption::modifiedDesc);

        // "Hidden only" needs hidden entries listed: it switches them on, and the tip goes.
        QVERIFY(shown("hiddenFilesTip"));
        auto* visibility = m_ui->find<QComboBox>("visibilityPicker");
        press(visibility, Qt::Key_Down);
        press(visibility, Qt::Key_Down);
        QCOMPARE(vm().browsing().visibilityFilter(), VisibilityFilter::hiddenOnly);
        QVERIFY(vm().browsing().showHiddenFiles());
        QVERIFY(m_ui->find<QCheckBox>("showHiddenFilesSwitch")->isChecked());
        QVERIFY(!shown("hiddenFilesTip"));
        click("showHiddenFilesSwitch");
        QVERIFY(!vm().browsing().showHiddenFiles());
        QVERIFY(shown("hiddenFilesTip"));
        QVERIFY(waitUntilIdle(vm()));

        const quint64 scans = vm().loader().latestScanRequestID();
        click("showAllFilesSwitch");
        QVERIFY(vm().browsing().showAllFiles());
        QCOMPARE(vm().loader().latestScanRequestID(), scans + 1);
        QVERIFY(!m_ui->find<ui::Stepper>("minSizeStepper")->isEnabled());
        QVERIFY(!m_ui->find<QWidget>("minSizeRow")->isEnabled());
        QVERIFY(waitUntilIdle(vm()));

        click("linkModeSwitch");
        QVERIFY(vm().browsing().showLinkMode());
        click("smartMigrationSwitch");
        QVERIFY(vm().browsing().smartMigrationEnabled());
        QVERIFY(shown("migrationListGroup"));
        QVERIFY(m_ui->find<QComboBox>("migrationListPicker")->isEnabled());
        QVERIFY(waitUntilIdle(vm()));
    }

    // The picker names itself on the screen, not only in a tooltip, in the language chosen.
    void theMigrationListPickerShowsItsLabel()
    {
        auto* label = m_ui->find<QLabel>("migrationListLabel");
        auto* picker = m_ui->find<QComboBox>("migrationListPicker");
        QVERIFY(label->isVisibleTo(m_ui->window.get()));
        QCOMPARE(label->text(), QStringLiteral("Migration List"));
        QCOMPARE(label->buddy(), picker);
        QVERIFY(m_ui->visibleTexts().contains(QStringLiteral("Migration List")));
        // Beside the picker, before it.
        const QRect labelArea(label->mapTo(m_ui->window.get(), QPoint()), label->size());
        const QRect pickerArea(picker->mapTo(m_ui->window.get(), QPoint()), picker->size());
        QVERIFY(labelArea.right() < pickerArea.left());
        QVERIFY(labelArea.bottom() > pickerArea.top() && labelArea.top() < pickerArea.bottom());
        vm().settings().setLanguage(UILanguage::chinese);
        m_ui->settle();
        QCOMPARE(label->text(), QStringLiteral("迁移列表"));
    }

    void quickAccessBarOpensSheets()
    {
        QCOMPARE(m_ui->find<QPushButton>("quickAccountButton")->text(), QStringLiteral("Sign In"));
        QVERIFY(!shown("accountBadge"));
        click("quickFeedbackButton");
        QCOMPARE(m_ui->state.activeSheet(), std::optional(ui::QuickSheet::feedback));
        click("quickSettingsButton");
        QCOMPARE(m_ui->state.activeSheet(), std::optional(ui::QuickSheet::settings));
        click("quickAccountButton");
        QCOMPARE(m_ui->state.activeSheet(), std::optional(ui::QuickSheet::account));
    }

    // The path lines' menu acts on the real path, also while the line shows it masked.
    void pathMenuActsOnTheRealPath()
    {
        vm().settings().setPresentationPrivacyEnabled(true);
        m_ui->settle();
        auto* rootLine = m_ui->find<QLineEdit>("scanRootPath");
        QCOMPARE(rootLine->text(), QStringLiteral("~"));
        const auto trigger = [&](const char* action) {
            Q_EMIT rootLine->customContextMenuRequested(QPoint(4, 4));
            auto* menu = rootLine->findChild<QMenu*>(QStringLiteral("pathContextMenu"));
            QVERIFY(menu);
            QCOMPARE(menu->actions().size(), 3);
            menu->findChild<QAction*>(QString::fromLatin1(action))->trigger();
            menu->close();
            m_ui->settle();
        };
        trigger("copyPathAction");
        QCOMPARE(m_fx->clipboard->texts, QStringList{home()});
        trigger("revealPathAction");
        QCOMPARE(m_fx->revealer->revealed, QStringList{home()});
        vm().navigation().navigate(home() + "/Beta", true);
        trigger("openInSidebarAction");
        QCOMPARE(vm().browsing().currentDirectoryPath(), home());
        QVERIFY(waitUntilIdle(vm()));
    }

    // The notice stands only in the containers folder itself, not in its subfolders.
    void containersNoticeOnlyInTheContainersFolder()
    {
        const QString containers = m_fx->tree.dir("Library/Containers");
        m_fx->tree.dir("Library/Containers/App");
        QVERIFY(!shown("containersNotice"));
        vm().navigation().navigate(containers, true);
        m_ui->settle();
        QVERIFY(shown("containersNotice"));
        QVERIFY(text("containersNotice").startsWith(QStringLiteral("This directory is not recommended")));
        vm().navigation().navigate(containers + "/App", true);
        m_ui->settle();
        QVERIFY(!shown("containersNotice"));
        QVERIFY(waitUntilIdle(vm()));
    }

    // A folder whose name looks like markup is shown as the name it is, never rendered.
    void namesThatLookLikeMarkupStayText()
    {
        const QString odd = m_fx->tree.dir("<b>bold</b>");
        vm().navigation().navigate(odd, true);
        m_ui->settle();
        const auto* current = m_ui->find<QLineEdit>("currentPathText");
        QVERIFY(current->text().endsWith(QStringLiteral("<b>bold</b>")));
        QVERIFY(waitUntilIdle(vm()));
    }

    // A card is of fixed width: its title and path end in "…" or lose their middle, its note takes
    // two lines at most and the second ends in "…"; each carries its whole text in its tip.
    void suggestionCardLinesEndInAnEllipsis()
    {
        const QString words = QStringLiteral("The WeChat container was not found on this computer. ");
        const SmartMigrationSuggestion suggestion{QStringLiteral("id"), words + words, words.repeated(4),
                                                  QStringLiteral("/home/user/") +
                                                      QString(60, QLatin1Char('p')),
                                                  SmartMigrationSuggestion::Tone::caution};
        ui::SuggestionCard card;
        card.setSuggestion(suggestion, suggestion.path);
        card.show();
        QCoreApplication::processEvents();
        for (const char* name : {"suggestionTitle", "suggestionPath", "suggestionNote"}) {
            auto* line = card.findChild<ui::ElidedLabel*>(QString::fromLatin1(name));
            QVERIFY2(line, name);
            QVERIFY2(line->isElided(), name);
            QVERIFY2(line->shownText().contains(QChar(0x2026)), name);
            QVERIFY2(line->toolTip().contains(line->text().left(20).toHtmlEscaped()), name);
            QVERIFY2(line->geometry().bottom() < card.height(), name);
        }
        auto* note = card.findChild<ui::ElidedLabel*>(QStringLiteral("suggestionNote"));
        QCOMPARE(note->shownText().count(QLatin1Char('\n')), 1);
        QVERIFY(note->shownText().endsWith(QChar(0x2026)));
    }

    // A suggestion card opens its folder with history; switching Smart Migration off removes the
    // group.
    void suggestionCardOpensItsFolder()
    {
        m_fx->tree.dir("Downloads");
        QVERIFY(!shown("migrationListGroup"));
        click("smartMigrationSwitch");
        QVERIFY(waitUntilIdle(vm()));
        m_ui->settle();
        QVERIFY(shown("migrationListGroup"));
        // Folded to one line until asked for.
        QVERIFY(!shown("suggestionScroll"));
        click("smartMigrationToggle");
        QVERIFY(shown("suggestionScroll"));
        QWidget* card = nullptr;
        for (QWidget* candidate : m_ui->window->findChildren<QWidget*>(QStringLiteral("suggestionCard")))
            if (candidate->isVisibleTo(m_ui->window.get()) &&
                candidate->property("path") == home() + "/Downloads")
                card = candidate;
        QVERIFY(card);
        QTest::mouseClick(card, Qt::LeftButton);
        m_ui->settle();
        QCOMPARE(vm().browsing().currentDirectoryPath(), home() + "/Downloads");
        QCOMPARE(vm().navigation().backHistory(), QStringList{home()});
        click("smartMigrationSwitch");
        QVERIFY(!shown("migrationListGroup"));
        QVERIFY(waitUntilIdle(vm()));
    }

    // An ordinary wheel scrolls the suggestion row sideways (as its scroll bar shows); the cards
    // take the focus by keyboard, the arrows go from card to card with the row following, and Space
    // or Return opens a card's folder as a click does.
    void suggestionRowWheelAndKeyboard()
    {
        for (const char* name : {"Downloads", "Movies", "Pictures", "Documents"})
            m_fx->tree.dir(QString::fromLatin1(name));
        click("smartMigrationSwitch");
        QVERIFY(waitUntilIdle(vm()));
        m_ui->settle();
        click("smartMigrationToggle");
        auto* row = m_ui->find<QScrollArea>("suggestionScroll");
        QList<QWidget*> cards;
        for (QWidget* card : row->findChildren<QWidget*>(QStringLiteral("suggestionCard")))
            if (card->isVisibleTo(m_ui->window.get()))
                cards.append(card);
        std::sort(cards.begin(), cards.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        QCOMPARE(cards.size(), 4);
        QScrollBar* bar = row->horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QVERIFY2(bar->isVisible(), "a row that scrolls shows that it does");
        QCOMPARE(bar->value(), 0);

        const auto wheel = [row](int delta) {
            const QPointF at(row->viewport()->width() / 2.0, row->viewport()->height() / 2.0);
            QWheelEvent event(at, row->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(row->viewport(), &event);
        };
        wheel(120); // towards the start, already there
        QCOMPARE(bar->value(), 0);
        wheel(-120);
        const int scrolled = bar->value();
        QVERIFY(scrolled > 0);
        wheel(-120);
        QVERIFY(bar->value() > scrolled || bar->value() == bar->maximum());
        wheel(120);
        wheel(120);
        QCOMPARE(bar->value(), 0);

        QVERIFY(!(row->focusPolicy() & Qt::TabFocus));
        for (QWidget* card : cards)
            QCOMPARE(card->focusPolicy(), Qt::StrongFocus);
        cards.first()->setFocus(Qt::TabFocusReason);
        for (qsizetype i = 1; i < cards.size(); ++i) {
            press(cards.at(i - 1), Qt::Key_Right);
            QVERIFY(cards.at(i)->hasFocus());
        }
        // The last card is in view: its right edge within the row's viewport.
        const QRect shown = cards.last()->geometry().translated(-bar->value(), 0);
        QVERIFY(bar->value() > 0);
        QVERIFY2(shown.left() >= 0 && shown.right() <= row->viewport()->width(),
                 qPrintable(QString::number(shown.right())));
        m_ui->screenshot(QStringLiteral("sidebar-suggestion-focused"));
        press(cards.last(), Qt::Key_Left);
        QVERIFY(cards.at(cards.size() - 2)->hasFocus());

        const QString path = cards.at(cards.size() - 2)->property("path").toString();
        press(cards.at(cards.size() - 2), Qt::Key_Return);
        QCOMPARE(vm().browsing().currentDirectoryPath(), path);
        QVERIFY(waitUntilIdle(vm()));
        vm().navigation().goBack();
        QVERIFY(waitUntilIdle(vm()));
        m_ui->settle();
        QWidget* first = nullptr;
        for (QWidget* card : row->findChildren<QWidget*>(QStringLiteral("suggestionCard")))
            if (card->isVisibleTo(m_ui->window.get()) && (!first || card->x() < first->x()))
                first = card;
        QVERIFY(first);
        first->setFocus(Qt::TabFocusReason);
        press(first, Qt::Key_Space);
        QCOMPARE(vm().browsing().currentDirectoryPath(), first->property("path").toString());
        QVERIFY(waitUntilIdle(vm()));
    }

    // The breadcrumb chips are buttons for the keyboard too.
    void breadcrumbChipsTakeTheKeyboard()
    {
        vm().navigation().navigate(home() + "/Beta", true);
        QVERIFY(waitUntilIdle(vm()));
        m_ui->settle();
        QWidget* homeChip = nullptr;
        for (QWidget* chip : m_ui->window->findChildren<QWidget*>(QStringLiteral("breadcrumbChip"))) {
            QCOMPARE(chip->focusPolicy(), Qt::StrongFocus);
            if (chip->isVisibleTo(m_ui->window.get()) && chip->property("path") == home())
                homeChip = chip;
        }
        QVERIFY(homeChip);
        homeChip->setFocus(Qt::TabFocusReason);
        QVERIFY(homeChip->hasFocus());
        m_ui->screenshot(QStringLiteral("sidebar-breadcrumb-focused"));
        press(homeChip, Qt::Key_Return);
        QCOMPARE(vm().browsing().currentDirectoryPath(), home());
        QCOMPARE(vm().navigation().backHistory().constLast(), home() + "/Beta");
        QVERIFY(waitUntilIdle(vm()));
    }

    void volumeMenu()
    {
        QCOMPARE(ui::volumeTargetRoot(VolumeInfo{{}, "Disk", "/media/me/Disk/", {}, 0, 0, false, true, true}),
                 QStringLiteral("/media/me/Disk/OrvalinkRoot"));
        QCOMPARE(
            ui::volumeTargetRoot(VolumeInfo{{}, "Disk", "/media/me/../Disk", {}, 0, 0, false, true, true}),
            QStringLiteral("/media/Disk/OrvalinkRoot"));
        // No external volume in the temporary home: one disabled line says so.
        QMenu* menu = m_ui->find<QMenu>("quickSelectVolumeMenu");
        Q_EMIT menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("No external volume found"));
        QVERIFY(!menu->actions().first()->isEnabled());
    }

    // Sizes measured in the background arrive as the same rows again: they repaint in place
    // instead of resetting the list (which would lose the user's scroll position).
    void sizeUpdatesKeepTheRows()
    {
        QSignalSpy resets(m_ui->sidebar->listModel(), &QAbstractItemModel::modelReset);
        QSignalSpy changes(m_ui->sidebar->listModel(), &QAbstractItemModel::dataChanged);
        QList<DirectoryEntry> entries = vm().browsing().entries();
        for (DirectoryEntry& entry : entries)
            entry.sizeBytes += 1;
        ViewModelInternals::context(vm()).browsing().setEntries(entries);
        QTRY_VERIFY(!changes.isEmpty());
        QCOMPARE(resets.count(), 0);
        QCOMPARE(changes.last().at(2).value<QList<int>>(),
                 (QList<int>{ui::DirectoryListModel::SizeBytesRole, ui::DirectoryListModel::SizeTextRole}));

        entries.removeLast();
        ViewModelInternals::context(vm()).browsing().setEntries(entries);
        QCOMPARE(resets.count(), 1);
    }
};

QTEST_MAIN(SidebarColumnTest)
#include "tst_sidebarcolumn.moc"
