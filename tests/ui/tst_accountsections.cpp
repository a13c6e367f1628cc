#include "AccountFixture.h"
#include "SheetTestSupport.h"
#include "UiTestSupport.h"
#include "support/TaskRunner.h"
#include "ui/views/account/AccountSheetView.h"
#include "ui/views/account/MigrationConflictCard.h"
#include "ui/views/account/MigrationDeviceCard.h"
#include "ui/views/account/MigrationOverviewBlock.h"
#include "ui/widgets/CaptchaImage.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/CollapsibleSection.h"
#include "ui/widgets/SelectablePathField.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;
using orvalink::ui::AccountSheetView;
using orvalink::ui::CaptchaImage;
using orvalink::ui::Chip;
using orvalink::ui::CollapsibleSection;

namespace {

QString pngDataUrl(const QColor& color)
{
    QImage image(12, 4, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(bytes.toBase64());
}

QString svgDataUrl()
{
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='90' height='28'>"
                           "<rect width='90' height='28' fill='#00a000'/></svg>";
    return QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(svg.toBase64());
}

QStringList chipTexts(const QWidget* root)
{
    QStringList texts;
    for (const Chip* chip : root->findChildren<Chip*>())
        texts.append(chip->text());
    return texts;
}

bool beginsWith(const QStringList& list, const QStringList& head)
{
    return list.mid(0, head.size()) == head;
}

BackendMigrationDeviceOverview otherDevice(const QString& fingerprint, qint64 mappings)
{
    return BackendMigrationDeviceOverview{fingerprint, mappings, 1, std::nullopt, false};
}

BackendMigrationConflict conflictAt(const QString& path, const QStringList& devices,
                                    const QStringList& targets = {})
{
    return BackendMigrationConflict{path, devices, targets, std::nullopt};
}

// This device and `others`, as the service reports the account.
BackendMigrationOverview overviewWith(const QList<BackendMigrationDeviceOverview>& others,
                                      const QList<BackendMigrationConflict>& conflicts)
{
    BackendMigrationOverview overview;
    overview.currentDeviceFingerprint = AccountFixture::thisDevice();
    overview.devices.append(
        BackendMigrationDeviceOverview{AccountFixture::thisDevice(), 2, 1, std::nullopt, true});
    overview.devices.append(others);
    overview.totalDevices = overview.devices.size();
    overview.conflicts = conflicts;
    return overview;
}

// The widgets of `cards` stand in their order from top to bottom, each shown.
template <typename Card> bool shownInOrder(const QList<Card*>& cards, const QWidget* root)
{
    int bottom = -1;
    for (const Card* card : cards) {
        const int top = card->mapTo(root, QPoint(0, 0)).y();
        if (!card->isVisibleTo(root) || top <= bottom)
            return false;
        bottom = top + card->height() - 1;
    }
    return true;
}

} // namespace

// The captcha block, the migration sync section and the feedback section of the account sheet.
class AccountSectionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AccountFixture> m_fixture;
    std::unique_ptr<AccountSheetView> m_sheet;

    AccountFixture& fixture() { return *m_fixture; }
    MainViewModel& viewModel() { return m_fixture->viewModel(); }
    LoopbackHttpServer& http() { return m_fixture->service.http(); }
    template <typename T> T* find(const QString& name) { return child<T>(m_sheet.get(), name); }

    AccountSheetView& openSheet(bool appearHooks = true)
    {
        m_sheet = std::make_unique<AccountSheetView>(viewModel());
        m_sheet->setAppearHooksEnabled(appearHooks);
        m_sheet->setAttribute(Qt::WA_DontShowOnScreen);
        m_sheet->resize(640, 760);
        m_sheet->show();
        settle();
        return *m_sheet;
    }
    void settle()
    {
        QTRY_VERIFY(!viewModel().accountState().isBackendBusy());
        m_sheet->flushRefresh();
    }
    void signIn()
    {
        QVERIFY(fixture().signIn());
        ViewModelInternals::context(viewModel()).accountState().setBackendStatusMessage(std::nullopt);
    }
    QString statusText() { return find<QLabel>(QStringLiteral("statusText"))->text(); }
    qsizetype feedbackPosts() const
    {
        qsizetype posts = 0;
        for (const LoopbackRequest& request : m_fixture->service.http().requestsTo(kFeedbackPath))
            posts += request.method == "POST";
        return posts;
    }

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }
    void init()
    {
        m_fixture = std::make_unique<AccountFixture>();
        QVERIFY(m_fixture->isReady());
    }
    void cleanup()
    {
        m_sheet.reset();
        m_fixture.reset();
    }

    void theCaptchaImage_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("placeholder");
        QTest::addColumn<QColor>("centre"); // invalid: nothing drawn at all
        QTest::newRow("png") << pngDataUrl(Qt::red) << false << QColor(Qt::red);
        QTest::newRow("svg") << svgDataUrl() << false << QColor(0, 0xa0, 0);
        QTest::newRow("empty") << QString() << true << QColor();
        QTest::newRow("markup injection")
            << QStringLiteral("data:image/png;base64,AAAA\" onerror=\"x") << false << QColor();
    }
    void theCaptchaImage()
    {
        QFETCH(QString, url);
        QFETCH(bool, placeholder);
        QFETCH(QColor, centre);
        fixture().start([](AppConfig& config) { config.uiLanguage = UILanguage::bilingual; });
        ViewModelInternals::context(viewModel())
            .accountState()
            .setAuthSettings(BackendAuthSettings{QStringLiteral("orvalink"), true});
        BackendCaptchaChallenge challenge{QStringLiteral("orvalink"), true, QStringLiteral("c-1"), url,
                                          QDateTime::currentDateTimeUtc().addSecs(300)};
        ViewModelInternals::context(viewModel()).accountState().setAuthCaptchaChallenge(challenge);
        AccountSheetView& sheet = openSheet(false);
        auto* image = find<CaptchaImage>(QStringLiteral("captchaImage"));
        QVERIFY(image->isVisibleTo(&sheet));
        QCOMPARE(image->size(), QSize(180, 56));
        QCOMPARE(image->showsPlaceholder(), placeholder);
        QCOMPARE(image->placeholderText(), QStringLiteral("验证码加载中 Loading Captcha"));
        QVERIFY(settleCaptchas(&sheet));
        QVERIFY(find<QLabel>(QStringLiteral("captchaValidity"))
                    ->text()
                    .startsWith(QStringLiteral("有效至 Valid until ")));
        QImage shot(image->size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::transparent);
        image->render(&shot, QPoint(), QRegion(), {});
        if (centre.isValid()) {
            QVERIFY(image->hasImage());
            // Stretched over the whole box, not drawn at its own size.
            for (const QPoint point : {QPoint(90, 28), QPoint(20, 28), QPoint(160, 28), QPoint(90, 6)})
                QCOMPARE(QColor(shot.pixel(point)).rgb(), centre.rgb());
        } else if (!placeholder) {
            QVERIFY(!image->hasImage());
            QCOMPARE(shot.pixel(90, 28), qRgba(0, 0, 0, 0));
        }
        saveSheetScreen(&sheet, QStringLiteral("account-captcha-") +
                                    QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
    }

    void syncUploadAndDownloadWithTheDevicesAndAConflict()
    {
        fixture().start();
        signIn();
        AccountSheetView& sheet = openSheet();
        find<CollapsibleSection>(QStringLiteral("migrationSyncSection"))->setExpanded(true);
        sheet.flushRefresh();
        QVERIFY(beginsWith(chipTexts(find<QWidget>(QStringLiteral("localSnapshotCard"))),
                           {"0 migrated", "0 history"}));

        // Download: the local history is empty, so this device's cloud snapshot comes down.
        const QString thisDevice = AccountFixture::thisDevice();
        fixture().storeCloudSnapshot(thisDevice, {fixture().mapping("A"), fixture().mapping("B")},
                                     {fixture().task("A")});
        find<QPushButton>(QStringLiteral("syncNowButton"))->click();
        m_sheet->flushRefresh();
        QCOMPARE(find<QPushButton>(QStringLiteral("syncNowButton"))->isEnabled(),
                 !viewModel().accountState().isSyncingMigrationSnapshot());
        settle();
        QCOMPARE(viewModel().history().migratedMappings().size(), 2);
        QCOMPARE(fixture().requestsTo(kSyncPath), 0);
        QVERIFY(beginsWith(chipTexts(find<QWidget>(QStringLiteral("localSnapshotCard"))),
                           {"2 migrated", "1 history"}));
        QVERIFY(find<QLabel>(QStringLiteral("lastSyncLine")));

        // Another device manages source A too: a conflict; then the upload of this device.
        fixture().storeCloudSnapshot(QStringLiteral("other-device-7f3a"), {fixture().mapping("A")});
        find<QPushButton>(QStringLiteral("syncNowButton"))->click();
        settle();
        QCOMPARE(fixture().requestsTo(kSyncPath), 1);
        QTRY_VERIFY(viewModel().accountState().migrationAccountOverview().has_value());
        settle();
        QCOMPARE(chipTexts(find<QWidget>(QStringLiteral("accountOverviewCard"))),
                 (QStringList{"2 devices", "1 conflicts", "1 other devices"}));
        auto* current = find<QWidget>(QStringLiteral("currentDeviceCard"));
        QVERIFY(current);
        QVERIFY(beginsWith(chipTexts(current), {"2 migrated", "1 history"}));
        QVERIFY(find<QLabel>(QStringLiteral("otherDevicesTitle")));
        const QList<QWidget*> devices = sheet.findChildren<QWidget*>(QStringLiteral("deviceCard"));
        QCOMPARE(devices.size(), 1);
        QCOMPARE(child<QLabel>(devices.first(), QStringLiteral("deviceFingerprint"))->text(),
                 QStringLiteral("othe...7f3a"));
        const QList<QWidget*> conflicts = sheet.findChildren<QWidget*>(QStringLiteral("conflictCard"));
        QCOMPARE(conflicts.size(), 1);
        QCOMPARE(child<QLineEdit>(conflicts.first(), QStringLiteral("conflictSource"))->text(),
                 viewModel().presentation().displayPath(fixture().mapping("A").sourcePath));
        QVERIFY(beginsWith(chipTexts(conflicts.first()), {"2 devices"}));
        QCOMPARE(find<QLabel>(QStringLiteral("syncOverviewSummary"))->text(),
                 viewModel().account().texts().migrationOverviewSummary());
        saveSheetScreen(&sheet, QStringLiteral("account-sync-overview"));

        viewModel().settings().setPresentationPrivacyEnabled(true);
        settle();
        QCOMPARE(child<QLabel>(sheet.findChildren<QWidget*>(QStringLiteral("deviceCard")).first(),
                               QStringLiteral("deviceFingerprint"))
                     ->text(),
                 QStringLiteral("demo-7f3a"));
        QVERIFY(!find<QLabel>(QStringLiteral("accountEmail"))->text().contains(AccountFixture::email));
        // The conflict's source shows masked; its copy entry copies the real path.
        const QString source = fixture().mapping("A").sourcePath;
        auto* sourceLine = sheet.findChild<ui::SelectablePathField*>(QStringLiteral("conflictSource"));
        QCOMPARE(sourceLine->text(), viewModel().presentation().displayPath(source));
        QVERIFY(sourceLine->text() != source);
        // The folders privacy hides change while no setting does: the cards show the path anew.
        const QString shownBefore = sourceLine->text();
        const QString otherHome = QFileInfo(source).absolutePath() + QStringLiteral("/elsewhere/someone");
        viewModel().presentation().setLocationsLookup(
            [otherHome] { return PrivacyLocations::of(otherHome, otherHome + QStringLiteral("/media")); });
        settle();
        sourceLine = sheet.findChild<ui::SelectablePathField*>(QStringLiteral("conflictSource"));
        QCOMPARE(sourceLine->text(), viewModel().presentation().displayPath(source));
        QVERIFY(sourceLine->text() != shownBefore);
        QGuiApplication::clipboard()->clear();
        std::unique_ptr<QMenu> menu(sourceLine->createPathMenu(nullptr));
        menu->findChild<QAction*>(QStringLiteral("copyPathAction"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), source);
        saveSheetScreen(&sheet, QStringLiteral("account-sync-privacy"));
    }

    // A new, changed or removed device or conflict in the overview touches only its own card: the
    // others keep their widgets, a changed one shows its new facts in the same widget.
    void overviewCardsFollowTheirRecords_data()
    {
        QTest::addColumn<QList<BackendMigrationDeviceOverview>>("devices");
        QTest::addColumn<QList<BackendMigrationConflict>>("conflicts");
        const auto alpha = otherDevice(QStringLiteral("alpha-device-0001"), 1);
        const auto beta = otherDevice(QStringLiteral("beta-device-0002"), 2);
        const QStringList both{AccountFixture::thisDevice(), alpha.deviceFingerprint};
        const auto first = conflictAt(QStringLiteral("/data/Projects"), both);
        const auto second = conflictAt(QStringLiteral("/data/Games"), both);
        // Before each change: devices alpha and beta, conflicts first and second.
        QTest::newRow("unchanged") << QList{alpha, beta} << QList{first, second};
        QTest::newRow("device added")
            << QList{alpha, beta, otherDevice(QStringLiteral("gamma-device-0003"), 3)}
            << QList{first, second};
        QTest::newRow("device removed") << QList{beta} << QList{first, second};
        QTest::newRow("device changed")
            << QList{alpha, otherDevice(beta.deviceFingerprint, 7)} << QList{first, second};
        QTest::newRow("devices reordered") << QList{beta, alpha} << QList{first, second};
        QTest::newRow("conflict added")
            << QList{alpha, beta} << QList{first, second, conflictAt(QStringLiteral("/data/Music"), both)};
        QTest::newRow("conflict removed") << QList{alpha, beta} << QList{second};
        QTest::newRow("conflict changed")
            << QList{alpha, beta}
            << QList{conflictAt(first.sourcePath, both + QStringList{beta.deviceFingerprint},
                                {QStringLiteral("/Volumes/Ext/Projects")}),
                     second};
        QTest::newRow("path changed only in case")
            << QList{alpha, beta} << QList{first, conflictAt(QStringLiteral("/DATA/games"), both)};
        QTest::newRow("all gone") << QList<BackendMigrationDeviceOverview>{}
                                  << QList<BackendMigrationConflict>{};
    }

    void overviewCardsFollowTheirRecords()
    {
        QFETCH(QList<BackendMigrationDeviceOverview>, devices);
        QFETCH(QList<BackendMigrationConflict>, conflicts);
        fixture().start();
        signIn();
        AccountSheetView& sheet = openSheet(false);
        find<CollapsibleSection>(QStringLiteral("migrationSyncSection"))->setExpanded(true);
        AccountState& state = ViewModelInternals::context(viewModel()).accountState();
        const QStringList both{AccountFixture::thisDevice(), QStringLiteral("alpha-device-0001")};
        state.setMigrationAccountOverview(overviewWith({otherDevice(QStringLiteral("alpha-device-0001"), 1),
                                                        otherDevice(QStringLiteral("beta-device-0002"), 2)},
                                                       {conflictAt(QStringLiteral("/data/Projects"), both),
                                                        conflictAt(QStringLiteral("/data/Games"), both)}));
        sheet.flushRefresh();
        auto* block = find<ui::MigrationOverviewBlock>(QStringLiteral("migrationOverviewBlock"));
        QVERIFY(block);
        const QPointer<QWidget> current = find<QWidget>(QStringLiteral("currentDeviceCard"));
        QHash<QString, QPointer<QWidget>> deviceCards;
        for (ui::MigrationDeviceCard* card : block->otherDeviceCards())
            deviceCards.insert(child<QLabel>(card, QStringLiteral("deviceFingerprint"))->text(), card);
        QHash<QString, QPointer<QWidget>> conflictCards;
        for (ui::MigrationConflictCard* card : block->conflictCards()) {
            conflictCards.insert(
                child<ui::SelectablePathField>(card, QStringLiteral("conflictSource"))->rawPath().toLower(),
                card);
        }
        QCOMPARE(deviceCards.size(), 2);
        QCOMPARE(conflictCards.size(), 2);

        state.setMigrationAccountOverview(overviewWith(devices, conflicts));
        sheet.flushRefresh();
        QCoreApplication::processEvents();
        QCOMPARE(find<ui::MigrationOverviewBlock>(QStringLiteral("migrationOverviewBlock")), block);
        QCOMPARE(find<QWidget>(QStringLiteral("currentDeviceCard")), current.data());
        const AccountTexts& texts = viewModel().account().texts();

        QSet<QString> keptDevices;
        QCOMPARE(block->otherDeviceCards().size(), devices.size());
        for (qsizetype index = 0; index < devices.size(); ++index) {
            ui::MigrationDeviceCard* card = block->otherDeviceCards().at(index);
            const QString masked = texts.maskedDeviceFingerprint(devices.at(index).deviceFingerprint);
            if (deviceCards.contains(masked)) {
                QCOMPARE(card, deviceCards.value(masked).data());
                keptDevices.insert(masked);
            }
            QCOMPARE(child<QLabel>(card, QStringLiteral("deviceFingerprint"))->text(), masked);
            const QString migrated =
                QString::number(devices.at(index).mappingCount) + QStringLiteral(" migrated");
            QVERIFY2(beginsWith(chipTexts(card), {migrated}), qPrintable(chipTexts(card).join(", ")));
        }
        QVERIFY(shownInOrder(block->otherDeviceCards(), block));
        QCOMPARE(find<QLabel>(QStringLiteral("otherDevicesTitle"))->isVisibleTo(block), !devices.isEmpty());

        QSet<QString> keptConflicts;
        QCOMPARE(block->conflictCards().size(), conflicts.size());
        for (qsizetype index = 0; index < conflicts.size(); ++index) {
            ui::MigrationConflictCard* card = block->conflictCards().at(index);
            const BackendMigrationConflict& conflict = conflicts.at(index);
            if (conflictCards.contains(conflict.id())) {
                QCOMPARE(card, conflictCards.value(conflict.id()).data());
                keptConflicts.insert(conflict.id());
            }
            auto* source = child<ui::SelectablePathField>(card, QStringLiteral("conflictSource"));
            QCOMPARE(source->rawPath(), conflict.sourcePath);
            QCOMPARE(source->text(), viewModel().presentation().displayPath(conflict.sourcePath));
            QVERIFY(
                beginsWith(chipTexts(card),
                           {QString::number(conflict.deviceFingerprints.size()) + QStringLiteral(" devices"),
                            QString::number(conflict.targetPaths.size()) + QStringLiteral(" targets")}));
            QCOMPARE(child<QLabel>(card, QStringLiteral("conflictTargets"))->isVisibleTo(card),
                     !conflict.targetPaths.isEmpty());
        }
        QVERIFY(shownInOrder(block->conflictCards(), block));
        QCOMPARE(find<QWidget>(QStringLiteral("noConflictsCard"))->isVisibleTo(block), conflicts.isEmpty());
        QCOMPARE(find<QWidget>(QStringLiteral("conflictsNote"))->isVisibleTo(block), !conflicts.isEmpty());

        // The cards of the records that went are gone once the event loop has run, and only those.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (auto it = deviceCards.cbegin(); it != deviceCards.cend(); ++it)
            QCOMPARE(it.value().isNull(), !keptDevices.contains(it.key()));
        for (auto it = conflictCards.cbegin(); it != conflictCards.cend(); ++it)
            QCOMPARE(it.value().isNull(), !keptConflicts.contains(it.key()));
    }

    void feedbackQuotaStatusAndList()
    {
        fixture().start([](AppConfig& config) { config.uiLanguage = UILanguage::bilingual; });
        signIn();
        for (const QString& subject : {QStringLiteral("First"), QStringLiteral("Second")})
            runTask(viewModel().account().feedback().submitFeedback(FeedbackCategory::bug, subject,
                                                                    QStringLiteral("Text")));
        const QString firstId = viewModel().accountState().feedbackDashboard()->items.last().id;
        QVERIFY(fixture().service.feedback().resolve(firstId, QStringLiteral(" escalated "),
                                                     QStringLiteral("Looking"),
                                                     QDateTime::currentDateTimeUtc()));
        runTask(viewModel().account().feedback().refreshFeedbackDashboard(false));
        AccountSheetView& sheet = openSheet();
        QCOMPARE(
            find<QLabel>(QStringLiteral("feedbackQuotaTitle"))->text(),
            QStringLiteral("今天已提交 2 条，还可再发 3 条。 You sent 2 today and can still send 3 more."));
        find<CollapsibleSection>(QStringLiteral("feedbackSection"))->setExpanded(true);
        sheet.flushRefresh();
        const QList<QWidget*> cards = sheet.findChildren<QWidget*>(QStringLiteral("feedbackItemCard"));
        QCOMPARE(cards.size(), 2);
        QCOMPARE(child<Chip>(cards.at(1), QStringLiteral("feedbackItemStatus"))->text(),
                 QStringLiteral(" ESCALATED "));
        QCOMPARE(child<Chip>(cards.at(0), QStringLiteral("feedbackItemStatus"))->text(),
                 QStringLiteral("待处理 Open"));
        QCOMPARE(child<QLabel>(cards.at(1), QStringLiteral("feedbackItemCategory"))->text(),
                 QStringLiteral("问题 Bug"));
        QVERIFY(child<QLabel>(cards.at(1), QStringLiteral("feedbackItemAdminNote"))
                    ->text()
                    .endsWith(QStringLiteral("Looking")));
        QVERIFY(beginsWith(chipTexts(find<QWidget>(QStringLiteral("feedbackDashboard"))),
                           {"今日 2/5 Today 2/5", "剩余 3 条 3 left"}));
        saveSheetScreen(&sheet, QStringLiteral("account-feedback-bilingual"));

        // Typing in the form keeps the cards; so does a changed report, whose card shows the change.
        const QPointer<QWidget> card = cards.first();
        find<QLineEdit>(QStringLiteral("feedbackSubjectField"))->setText(QStringLiteral("Typing"));
        sheet.flushRefresh();
        QVERIFY(card);
        runTask(viewModel().account().feedback().refreshFeedbackDashboard(false));
        sheet.flushRefresh();
        QVERIFY2(card, "the same dashboard again");
        const QString secondId = viewModel().accountState().feedbackDashboard()->items.first().id;
        QVERIFY(fixture().service.feedback().resolve(secondId, QStringLiteral("resolved"), QString(),
                                                     QDateTime::currentDateTimeUtc()));
        runTask(viewModel().account().feedback().refreshFeedbackDashboard(false));
        sheet.flushRefresh();
        QVERIFY(card);
        QCOMPARE(sheet.findChildren<QWidget*>(QStringLiteral("feedbackItemCard")).size(), 2);
        QCOMPARE(child<Chip>(card, QStringLiteral("feedbackItemStatus"))->text(),
                 QStringLiteral("已解决 Resolved"));
    }

    void aBlankSubjectIsRefusedWithoutARequest()
    {
        fixture().start();
        signIn();
        AccountSheetView& sheet = openSheet();
        find<CollapsibleSection>(QStringLiteral("feedbackSection"))->setExpanded(true);
        find<QLineEdit>(QStringLiteral("feedbackSubjectField"))->setText(QStringLiteral(" \t "));
        find<QPlainTextEdit>(QStringLiteral("feedbackContentEditor"))
            ->setPlainText(QStringLiteral("Details"));
        sheet.flushRefresh();
        auto* send = find<QPushButton>(QStringLiteral("sendFeedbackButton"));
        QVERIFY(!send->isEnabled());
        send->click();
        QCoreApplication::processEvents();
        QCOMPARE(feedbackPosts(), 0);
    }

    // The form is emptied after its own send succeeded, never after a failed one, even when the
    // report listed first carries the same subject.
    void onlyASuccessfulSendEmptiesTheForm()
    {
        fixture().service.feedback().setDailyLimit(1);
        fixture().start();
        signIn();
        AccountSheetView& sheet = openSheet();
        find<CollapsibleSection>(QStringLiteral("feedbackSection"))->setExpanded(true);
        auto* subject = find<QLineEdit>(QStringLiteral("feedbackSubjectField"));
        auto* content = find<QPlainTextEdit>(QStringLiteral("feedbackContentEditor"));
        auto* send = find<QPushButton>(QStringLiteral("sendFeedbackButton"));
        subject->setText(QStringLiteral(" Scan is slow "));
        content->setPlainText(QStringLiteral("\n\nDetails\n"));
        sheet.flushRefresh();
        send->click();
        QTRY_VERIFY(subject->text().isEmpty());
        QVERIFY(content->toPlainText().isEmpty());
        QCOMPARE(http().requestsTo(kFeedbackPath).constLast().jsonBody().value("content").toString(),
                 QStringLiteral("Details"));

        // The same subject again: the daily limit refuses it, and the text stays for another try.
        subject->setText(QStringLiteral("Scan is slow"));
        content->setPlainText(QStringLiteral("More details"));
        sheet.flushRefresh();
        send->click();
        settle();
        QCOMPARE(feedbackPosts(), 2);
        QCOMPARE(statusText(), QStringLiteral("Daily feedback limit reached."));
        QCOMPARE(viewModel().accountState().feedbackDashboard()->items.first().subject,
                 QStringLiteral("Scan is slow"));
        QCOMPARE(subject->text(), QStringLiteral("Scan is slow"));
        QCOMPARE(content->toPlainText(), QStringLiteral("More details"));
        saveSheetScreen(&sheet, QStringLiteral("account-feedback-limit"));
    }
};

QTEST_MAIN(AccountSectionsTest)
#include "tst_accountsections.moc"
