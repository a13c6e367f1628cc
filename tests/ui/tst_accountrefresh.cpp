#include "AccountFixture.h"
#include "SheetTestSupport.h"
#include "UiTestSupport.h"
#include "ui/views/account/AccountSheetView.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/CollapsibleSection.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <functional>

using namespace orvalink;
using namespace orvalink::test;
using orvalink::ui::AccountSheetView;
using orvalink::ui::Chip;
using orvalink::ui::CollapsibleSection;
using orvalink::ui::RefreshScheduler;

namespace {

// What a change may reach: the state, the view model's actions, the fixture and the open sheet.
struct World {
    ViewModelContext& state;
    MainViewModel& model;
    AccountFixture& fixture;
    QWidget& sheet;
};
using Change = std::function<void(World&)>;

// The parts of the sheet that refresh on their own: the sheet's frame and each section.
const QStringList kParts{QStringLiteral("accountSheet"),         QStringLiteral("signInForm"),
                         QStringLiteral("captchaSection"),       QStringLiteral("passwordSection"),
                         QStringLiteral("migrationSyncSection"), QStringLiteral("feedbackSection"),
                         QStringLiteral("notesSection")};

const QString kHome = QStringLiteral("/home/refresh-test-user");
const QString kMail = QStringLiteral("someone.else@example.org");

BackendFeedbackItem report(const QString& id, const QString& subject,
                           const QString& status = QStringLiteral("open"))
{
    BackendFeedbackItem item;
    item.id = id;
    item.category = QStringLiteral("bug");
    item.subject = subject;
    item.content = QStringLiteral("Details of ") + subject;
    item.status = status;
    item.source = QStringLiteral("app");
    return item;
}

BackendFeedbackDashboard dashboardOf(const QList<BackendFeedbackItem>& items)
{
    return BackendFeedbackDashboard{5, items.size(), 5 - items.size(), items};
}

} // namespace

Q_DECLARE_METATYPE(Change)

// Which part of the account sheet refreshes on which change, and what a refresh keeps.
class AccountRefreshTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AccountFixture> m_fixture;
    std::unique_ptr<AccountSheetView> m_sheet;
    QSet<QString> m_refreshed;

    MainViewModel& viewModel() { return m_fixture->viewModel(); }
    ViewModelContext& context() { return ViewModelInternals::context(viewModel()); }
    template <typename T> T* find(const QString& name) { return child<T>(m_sheet.get(), name); }

    void openSignedIn()
    {
        m_fixture->start();
        QVERIFY(m_fixture->signIn());
        m_sheet = std::make_unique<AccountSheetView>(viewModel());
        m_sheet->setAppearHooksEnabled(false);
        m_sheet->setAttribute(Qt::WA_DontShowOnScreen);
        m_sheet->resize(640, 760);
        m_sheet->show();
        settle();
    }
    void settle()
    {
        QTRY_VERIFY(!viewModel().accountState().isBackendBusy());
        m_sheet->flushRefresh();
        // A widget added to a shown layout shows from the event loop; a discarded one goes there.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Notes the name of every part whose own schedulers refresh from now on.
    void countRefreshes()
    {
        for (const QString& name : kParts) {
            QObject* part = name == kParts.first() ? m_sheet.get() : m_sheet->findChild<QWidget*>(name);
            QVERIFY2(part, qPrintable(name));
            const auto schedulers = part->findChildren<RefreshScheduler*>(Qt::FindDirectChildrenOnly);
            QVERIFY2(!schedulers.isEmpty(), qPrintable(name));
            for (RefreshScheduler* scheduler : schedulers)
                connect(scheduler, &RefreshScheduler::refreshed, this,
                        [this, name] { m_refreshed.insert(name); });
        }
    }
    // The report cards in the order the list lays them out.
    QList<QWidget*> cardsInOrder()
    {
        QList<QWidget*> cards;
        QLayout* layout = find<QWidget>(QStringLiteral("feedbackDashboard"))->layout();
        for (int index = 0; index < layout->count(); ++index) {
            QWidget* widget = layout->itemAt(index)->widget();
            if (widget && widget->objectName() == QLatin1String("feedbackItemCard"))
                cards.append(widget);
        }
        return cards;
    }
    static QString textOf(QWidget* card, const QString& name)
    {
        if (auto* chip = card->findChild<Chip*>(name))
            return chip->text();
        return child<QLabel>(card, name)->text();
    }

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }
    void init()
    {
        m_refreshed.clear();
        m_fixture = std::make_unique<AccountFixture>();
        QVERIFY(m_fixture->isReady());
    }
    void cleanup()
    {
        m_sheet.reset();
        m_fixture.reset();
    }

    void eachPartRefreshesOnWhatItShows_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("refreshed");

        QTest::newRow("feedback dashboard") << Change([](World& w) {
            w.state.accountState().setFeedbackDashboard(dashboardOf({report("f-1", "Slow scan")}));
        }) << QStringList{"feedbackSection"};
        QTest::newRow("feedback refresh running")
            << Change([](World& w) { w.state.accountState().setIsRefreshingFeedbackDashboard(true); })
            << QStringList{"accountSheet", "feedbackSection"};
        QTest::newRow("password change running")
            << Change([](World& w) { w.state.accountState().setIsChangingPassword(true); })
            << QStringList{"passwordSection"};
        QTest::newRow("history") << Change([](World& w) {
            w.state.history().setTaskCount(w.state.history().taskCount() + 1);
        }) << QStringList{"migrationSyncSection"};
        QTest::newRow("overview") << Change([](World& w) {
            BackendMigrationOverview overview;
            overview.totalDevices = 42;
            w.state.accountState().setMigrationAccountOverview(overview);
        }) << QStringList{"migrationSyncSection"};
        QTest::newRow("captcha challenge") << Change([](World& w) {
            w.state.accountState().setAuthCaptchaChallenge(BackendCaptchaChallenge{
                QStringLiteral("orvalink"), true, QStringLiteral("c-9"), QString(), std::nullopt});
        }) << QStringList{"signInForm", "captchaSection"};
        QTest::newRow("sign-in settings") << Change([](World& w) {
            w.state.accountState().setAuthSettings(BackendAuthSettings{QStringLiteral("orvalink"), true});
        }) << QStringList{"signInForm"};
        QTest::newRow("error line") << Change([](World& w) {
            w.state.activity().setErrorMessage(BilingualText::same(QStringLiteral("Broken")));
        }) << QStringList{"accountSheet"};
        QTest::newRow("status line") << Change([](World& w) {
            w.state.accountState().setBackendStatusMessage(BilingualText::same(QStringLiteral("News")));
        }) << QStringList{"accountSheet"};
        for (const auto& [field, part] :
             {std::pair{"feedbackSubjectField", "feedbackSection"},
              std::pair{"newPasswordField", "passwordSection"}, std::pair{"emailField", "signInForm"}}) {
            QTest::addRow("typing in %s", field) << Change([name = QString::fromLatin1(field)](World& w) {
                child<QLineEdit>(&w.sheet, name)->setText(QStringLiteral("typed"));
            }) << QStringList{QString::fromLatin1(part)};
        }
        QTest::newRow("language") << Change([](World& w) {
            w.model.settings().setLanguage(UILanguage::chinese);
        }) << kParts;
        QTest::newRow("privacy") << Change([](World& w) {
            w.model.settings().setPresentationPrivacyEnabled(true);
        }) << kParts;
    }
    void eachPartRefreshesOnWhatItShows()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, refreshed);
        openSignedIn();
        countRefreshes();
        World world{context(), viewModel(), *m_fixture, *m_sheet};
        change(world);
        m_sheet->flushRefresh();
        QStringList got = m_refreshed.values();
        got.sort();
        refreshed.sort();
        QCOMPARE(got, refreshed);
    }

    // Presentation privacy masks what the feedback cards and the sync section show, and switching
    // it back shows everything again, with nothing else changing.
    void privacyRemasksTheFeedbackAndSyncSections_data()
    {
        QTest::addColumn<QString>("card"); // the card that holds the label, empty for the section
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("secret"); // shown without privacy, hidden with it

        QTest::newRow("feedback subject") << "feedbackItemCard"
                                          << "feedbackItemSubject" << kMail;
        QTest::newRow("feedback content") << "feedbackItemCard"
                                          << "feedbackItemContent" << kHome;
        QTest::newRow("feedback admin note") << "feedbackItemCard"
                                             << "feedbackItemAdminNote" << kHome;
        QTest::newRow("sync scope") << ""
                                    << "syncScopeSummary" << AccountFixture::email;
        QTest::newRow("sync device") << "currentDeviceCard"
                                     << "deviceFingerprint"
                                     << "fing";
    }
    void privacyRemasksTheFeedbackAndSyncSections()
    {
        QFETCH(QString, card);
        QFETCH(QString, label);
        QFETCH(QString, secret);
        openSignedIn();
        viewModel().presentation().setLocationsLookup(
            [] { return PrivacyLocations::of(kHome, QStringLiteral("/media/refresh-test-user")); });
        BackendFeedbackItem item = report(QStringLiteral("f-1"), QStringLiteral("Write to ") + kMail);
        item.content = QStringLiteral("Moving ") + kHome + QStringLiteral("/Projects failed");
        item.adminNote = QStringLiteral("Look at ") + kHome + QStringLiteral("/log.txt");
        context().accountState().setFeedbackDashboard(dashboardOf({item}));
        // No overview: the card of this device shows the fingerprint this device knows.
        context().accountState().setMigrationAccountOverview(std::nullopt);
        context().accountState().setCurrentMigrationDeviceFingerprint(QStringLiteral("fingerprint-0042"));
        for (const QString& section :
             {QStringLiteral("feedbackSection"), QStringLiteral("migrationSyncSection")})
            find<CollapsibleSection>(section)->setExpanded(true);
        settle();

        const auto shown = [&] {
            QWidget* root = card.isEmpty() ? m_sheet.get() : find<QWidget>(card);
            return root ? child<QLabel>(root, label) : nullptr;
        };
        QVERIFY(shown());
        QVERIFY2(shown()->text().contains(secret), qPrintable(shown()->text()));
        viewModel().settings().setPresentationPrivacyEnabled(true);
        settle();
        QVERIFY(shown());
        QVERIFY2(!shown()->text().contains(secret), qPrintable(shown()->text()));
        QVERIFY(!shown()->text().isEmpty());
        viewModel().settings().setPresentationPrivacyEnabled(false);
        settle();
        QVERIFY2(shown()->text().contains(secret), qPrintable(shown()->text()));
    }

    // Typing in the feedback form refreshes the form only: the report list below it is refreshed
    // when the dashboard, the texts or the section's opening change.
    void typingLeavesTheReportListAlone()
    {
        openSignedIn();
        context().accountState().setFeedbackDashboard(
            dashboardOf({report(QStringLiteral("a"), QStringLiteral("First"))}));
        find<CollapsibleSection>(QStringLiteral("feedbackSection"))->setExpanded(true);
        settle();
        auto* list = m_sheet->findChild<RefreshScheduler*>(QStringLiteral("feedbackDashboardRefresh"));
        QVERIFY(list);
        int runs = 0;
        connect(list, &RefreshScheduler::refreshed, this, [&runs] { ++runs; });
        for (const QString& typed : {QStringLiteral("S"), QStringLiteral("Su"), QStringLiteral("Sub")}) {
            find<QLineEdit>(QStringLiteral("feedbackSubjectField"))->setText(typed);
            settle();
        }
        QCOMPARE(runs, 0);
        context().accountState().setFeedbackDashboard(
            dashboardOf({report(QStringLiteral("b"), QStringLiteral("Second")),
                         report(QStringLiteral("a"), QStringLiteral("First"))}));
        settle();
        QCOMPARE(runs, 1);
        QCOMPARE(textOf(cardsInOrder().at(0), QStringLiteral("feedbackItemSubject")),
                 QStringLiteral("Second"));
    }

    // A report that arrives first keeps the cards of the others, updated in place; a report that
    // leaves the list takes its card along; the card of an empty list is the same one throughout.
    void aNewReportKeepsTheCardsOfTheOthers()
    {
        openSignedIn();
        context().accountState().setFeedbackDashboard(dashboardOf({}));
        find<CollapsibleSection>(QStringLiteral("feedbackSection"))->setExpanded(true);
        settle();
        const QPointer<QWidget> empty = find<QWidget>(QStringLiteral("noFeedbackCard"));
        QVERIFY(empty && empty->isVisibleTo(m_sheet.get()));
        QVERIFY(cardsInOrder().isEmpty());

        const BackendFeedbackItem b = report(QStringLiteral("b"), QStringLiteral("Second"));
        const BackendFeedbackItem c = report(QStringLiteral("c"), QStringLiteral("Third"));
        context().accountState().setFeedbackDashboard(dashboardOf({b, c}));
        settle();
        QVERIFY(empty && !empty->isVisibleTo(m_sheet.get()));
        const QList<QWidget*> before = cardsInOrder();
        QCOMPARE(before.size(), 2);
        const QPointer<QWidget> cardB = before.at(0);
        const QPointer<QWidget> cardC = before.at(1);

        BackendFeedbackItem resolvedB = b;
        resolvedB.status = QStringLiteral("resolved");
        context().accountState().setFeedbackDashboard(
            dashboardOf({report(QStringLiteral("a"), QStringLiteral("First")), resolvedB, c}));
        settle();
        const QList<QWidget*> after = cardsInOrder();
        QCOMPARE(after.size(), 3);
        QCOMPARE(textOf(after.at(0), QStringLiteral("feedbackItemSubject")), QStringLiteral("First"));
        QCOMPARE(after.at(1), cardB.data());
        QCOMPARE(after.at(2), cardC.data());
        QCOMPARE(textOf(after.at(1), QStringLiteral("feedbackItemStatus")), QStringLiteral("Resolved"));
        QCOMPARE(textOf(after.at(2), QStringLiteral("feedbackItemStatus")), QStringLiteral("Open"));
        for (QWidget* card : after)
            QVERIFY(card->isVisibleTo(m_sheet.get()));

        // Only the first four reports are shown; the one pushed out and the one gone lose their cards.
        const QList<BackendFeedbackItem> more{report("n1", "N1"), report("n2", "N2"), report("n3", "N3"),
                                              report("a", "First"), resolvedB};
        context().accountState().setFeedbackDashboard(dashboardOf(more));
        settle();
        QVERIFY(!cardB);
        QVERIFY(!cardC);
        QCOMPARE(cardsInOrder().size(), 4);
        QCOMPARE(textOf(cardsInOrder().at(3), QStringLiteral("feedbackItemSubject")),
                 QStringLiteral("First"));
        QCOMPARE(m_sheet->findChildren<QWidget*>(QStringLiteral("feedbackItemCard")).size(), 4);
        QCOMPARE(find<QWidget>(QStringLiteral("noFeedbackCard")), empty.data());
    }
};

QTEST_MAIN(AccountRefreshTest)
#include "tst_accountrefresh.moc"
