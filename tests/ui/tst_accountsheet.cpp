#include "AccountFixture.h"
#include "SheetTestSupport.h"
#include "UiTestSupport.h"
#include "support/TaskRunner.h"
#include "ui/views/account/AccountSheetView.h"
#include "ui/widgets/CaptchaImage.h"
#include "ui/widgets/CollapsibleSection.h"
#include "ui/widgets/LayoutSettling.h"
#include "ui/widgets/TintedBox.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace orvalink;
using namespace orvalink::test;
using orvalink::ui::AccountSheetView;
using orvalink::ui::CollapsibleSection;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

const QString kLoginPath = QStringLiteral("/api/v1/auth/login");
const QString kRegisterPath = QStringLiteral("/api/v1/auth/register");
const QString kSettingsPath = QStringLiteral("/api/v1/auth/settings");
const QString kPasswordPath = QStringLiteral("/api/v1/me/password");

} // namespace

// The account sheet's frame, its sign-in form and its password section against the real state
// object and the loopback account service.
class AccountSheetTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AccountFixture> m_fixture;
    std::unique_ptr<AccountSheetView> m_sheet;

    AccountFixture& fixture() { return *m_fixture; }
    MainViewModel& viewModel() { return m_fixture->viewModel(); }
    LoopbackHttpServer& http() { return m_fixture->service.http(); }

    AccountSheetView& openSheet(std::optional<AccountSheetView::InitialFocus> focus = std::nullopt,
                                QSize size = QSize(640, 760))
    {
        m_sheet = std::make_unique<AccountSheetView>(viewModel(), focus);
        m_sheet->setAttribute(Qt::WA_DontShowOnScreen);
        m_sheet->resize(size);
        m_sheet->show();
        m_sheet->flushRefresh();
        return *m_sheet;
    }
    template <typename T> T* find(const QString& name) { return child<T>(m_sheet.get(), name); }
    void settle()
    {
        QTRY_VERIFY(!viewModel().accountState().isBackendBusy() &&
                    !viewModel().accountState().isChangingPassword());
        m_sheet->flushRefresh();
    }
    QString statusText() { return find<QLabel>(QStringLiteral("statusText"))->text(); }
    bool statusShown() { return find<QWidget>(QStringLiteral("statusLine"))->isVisibleTo(m_sheet.get()); }
    void signInThroughTheModel()
    {
        QVERIFY(fixture().signIn());
        ViewModelInternals::context(viewModel()).accountState().setBackendStatusMessage(std::nullopt);
        if (m_sheet)
            m_sheet->flushRefresh();
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

    void signedOutShowsTheFormAndLoadsTheRequirementsOnce()
    {
        fixture().start();
        AccountSheetView& sheet = openSheet();
        QTRY_COMPARE(fixture().requestsTo(kSettingsPath), 1);
        settle();
        QVERIFY(find<QWidget>(QStringLiteral("signedOutPanel"))->isVisibleTo(&sheet));
        QVERIFY(!find<QWidget>(QStringLiteral("signedInPanel"))->isVisibleTo(&sheet));
        for (const QString& name : {QStringLiteral("passwordSection"), QStringLiteral("migrationSyncSection"),
                                    QStringLiteral("feedbackSection")})
            QVERIFY2(!find<QWidget>(name)->isVisibleTo(&sheet), qPrintable(name));
        QVERIFY(find<QWidget>(QStringLiteral("notesSection"))->isVisibleTo(&sheet));
        QVERIFY(!find<QWidget>(QStringLiteral("captchaSection"))->isVisibleTo(&sheet));
        QVERIFY(!find<QPushButton>(QStringLiteral("submitAuthButton"))->isEnabled());
        saveSheetScreen(&sheet, QStringLiteral("account-signed-out"));

        // The open sheet follows a language switch; the notes show their cards in it.
        viewModel().settings().setLanguage(UILanguage::chinese);
        find<CollapsibleSection>(QStringLiteral("notesSection"))->setExpanded(true);
        sheet.flushRefresh();
        QCOMPARE(find<QLabel>(QStringLiteral("accountSheetTitle"))->text(), QStringLiteral("账户中心"));
        QCOMPARE(find<QPushButton>(QStringLiteral("submitAuthButton"))->text(), QStringLiteral("登录"));
        const QList<QLabel*> titles = sheet.findChildren<QLabel*>(QStringLiteral("disclaimerTitle"));
        QCOMPARE(titles.size(), 3);
        QCOMPARE(titles.first()->text(), QStringLiteral("迁移边界"));
        QVERIFY(sheet.findChildren<QLabel*>(QStringLiteral("disclaimerBody"))
                    .first()
                    ->text()
                    .startsWith(QStringLiteral("不要迁移系统原有目录")));
        saveSheetScreen(&sheet, QStringLiteral("account-signed-out-notes-zh"));
    }

    void anExportRenderSendsNoRequest()
    {
        fixture().start();
        auto sheet = std::make_unique<AccountSheetView>(viewModel());
        sheet->setAppearHooksEnabled(false);
        renderOffscreen(sheet.get(), QSize(640, 760));
        QVERIFY(!viewModel().accountState().backendSession());
        QTest::qWait(0);
        QApplication::processEvents();
        QCOMPARE(http().requests().size(), 0);
    }

    void signInThroughTheFormDismissesTheSheet()
    {
        fixture().start();
        AccountSheetView& sheet = openSheet();
        settle();
        QSignalSpy dismissed(&sheet, &AccountSheetView::dismissRequested);
        find<QLineEdit>(QStringLiteral("emailField"))
            ->setText(QStringLiteral("  ") + AccountFixture::email + QStringLiteral(" "));
        find<QLineEdit>(QStringLiteral("passwordField"))->setText(AccountFixture::password);
        sheet.flushRefresh();
        auto* submit = find<QPushButton>(QStringLiteral("submitAuthButton"));
        QVERIFY(submit->isEnabled());
        QCOMPARE(submit->text(), QStringLiteral("Sign In"));
        submit->click();
        QTRY_COMPARE(dismissed.size(), 1);
        QVERIFY(viewModel().accountState().backendSession());
        const QJsonObject body = http().requestsTo(kLoginPath).first().jsonBody();
        QCOMPARE(body.value(QStringLiteral("email")).toString(), AccountFixture::email);
        QCOMPARE(body.value(QStringLiteral("password")).toString(), AccountFixture::password);
        QVERIFY(find<QLineEdit>(QStringLiteral("passwordField"))->text().isEmpty());
        settle();
        QVERIFY(find<QWidget>(QStringLiteral("signedInPanel"))->isVisibleTo(&sheet));
        QCOMPARE(find<QLabel>(QStringLiteral("accountEmail"))->text(), AccountFixture::email);
        QCOMPARE(find<QLineEdit>(QStringLiteral("emailField"))->text(), AccountFixture::email);
        saveSheetScreen(&sheet, QStringLiteral("account-signed-in"));
    }

    // Enter in a field signs in as the button does: once, however often it is pressed while the
    // request runs, and never through a default button of the dialog around the sheet. With a field
    // left empty it sends nothing.
    void returnInAFieldSignsIn()
    {
        fixture().start();
        QDialog dialog;
        dialog.setAttribute(Qt::WA_DontShowOnScreen);
        auto* sheet = new AccountSheetView(viewModel(), std::nullopt, &dialog);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(sheet);
        dialog.open();
        QTRY_COMPARE(fixture().requestsTo(kSettingsPath), 1);
        QTRY_VERIFY(!viewModel().accountState().isBackendBusy());
        QSignalSpy dismissed(sheet, &AccountSheetView::dismissRequested);
        auto* email = child<QLineEdit>(sheet, QStringLiteral("emailField"));
        auto* password = child<QLineEdit>(sheet, QStringLiteral("passwordField"));
        email->setText(AccountFixture::email);
        email->setFocus();
        QTest::keyClick(email, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(fixture().requestsTo(kLoginPath), 0);

        password->setText(AccountFixture::password);
        password->setFocus();
        QTest::keyClick(password, Qt::Key_Return);
        QTest::keyClick(password, Qt::Key_Enter);
        QTRY_COMPARE(dismissed.size(), 1);
        QCOMPARE(fixture().requestsTo(kLoginPath), 1);
        QVERIFY(viewModel().accountState().backendSession());
    }

    // A sign-in refused or timed out, started with a click on "Sign In": its answer shows above the
    // form, and the sheet shows from its top (title and Close in view), the form whole, also where
    // it was scrolled down to "Sign In" with the notes open (at its least size).
    void aFailedSignInShowsTheSheetFromItsTop_data()
    {
        QTest::addColumn<bool>("timesOut");
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("answer");
        const QString unreachableZh = QStringLiteral("无法连接账号服务，请检查网络连接后再试。");
        const QString unreachableEn =
            QStringLiteral("Cannot reach the account service. Check the network connection and try again.");
        // The sheet's least size (as on a laptop's screen) and the size it opens at on a desktop's.
        for (const QSize& size : {QSize(580, 620), QSize(640, 760)}) {
            const QByteArray at = QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height());
            QTest::newRow("timed out, zh, " + at) << true << UILanguage::chinese << size << unreachableZh;
            QTest::newRow("timed out, en, " + at) << true << UILanguage::english << size << unreachableEn;
            QTest::newRow("timed out, both, " + at)
                << true << UILanguage::bilingual << size << unreachableZh + QLatin1Char(' ') + unreachableEn;
        }
        QTest::newRow("refused, en, 640x760") << false << UILanguage::english << QSize(640, 760)
                                              << QStringLiteral("Invalid e-mail or password.");
    }
    void aFailedSignInShowsTheSheetFromItsTop()
    {
        QFETCH(bool, timesOut);
        QFETCH(UILanguage, language);
        QFETCH(QSize, size);
        QFETCH(QString, answer);
        if (timesOut)
            fixture().authTimeout = std::chrono::milliseconds(200);
        fixture().start([language](AppConfig& config) { config.uiLanguage = language; });
        AccountSheetView& sheet = openSheet(std::nullopt, size);
        settle();
        find<QLineEdit>(QStringLiteral("emailField"))->setText(AccountFixture::email);
        find<QLineEdit>(QStringLiteral("passwordField"))
            ->setText(timesOut ? AccountFixture::password : QStringLiteral("wrong password"));
        sheet.flushRefresh();
        auto* submit = find<QPushButton>(QStringLiteral("submitAuthButton"));
        QScrollBar* bar = find<QScrollArea>(QStringLiteral("accountSheetScroll"))->verticalScrollBar();
        if (size == QSize(580, 620)) {
            find<CollapsibleSection>(QStringLiteral("notesSection"))->setExpanded(true);
            ui::settleLayouts(sheet);
            bar->setValue(submit->mapTo(find<QWidget>(QStringLiteral("accountSheetContent")), QPoint()).y() -
                          8);
            QVERIFY(bar->value() > 0);
        }
        if (timesOut)
            http().setDelay(kLoginPath, std::chrono::seconds(20));
        QVERIFY(movePointerTo(submit));
        QTest::mouseClick(submit, Qt::LeftButton, {}, submit->rect().center());
        QVERIFY(viewModel().accountState().isSubmittingAuth());
        QTRY_VERIFY(!viewModel().accountState().isSubmittingAuth());
        settle();
        ui::settleLayouts(sheet);
        QCoreApplication::processEvents();
        QVERIFY(statusShown());
        QCOMPARE(statusText(), answer);
        QVERIFY(!viewModel().accountState().backendSession());
        QCOMPARE(bar->value(), 0);
        for (const QString& name : {QStringLiteral("accountSheetTitle"), QStringLiteral("closeButton"),
                                    QStringLiteral("statusLine"), QStringLiteral("submitAuthButton")}) {
            const QWidget* shown = find<QWidget>(name);
            QVERIFY2(shown->visibleRegion().boundingRect() == shown->rect(), qPrintable(name));
        }
        QVERIFY(!saveScreen(sheet.grab().toImage(),
                            QStringLiteral("account-signin-answer-") +
                                QString::fromLatin1(QTest::currentDataTag())
                                    .replace(QRegularExpression(QStringLiteral(",? ")), "-"))
                     .isEmpty());
    }

    // A second attempt after a failed one: while its request is pending and once it failed again,
    // the form stands where it stood, also when the attempt came from the keyboard (no pointer to
    // keep in place).
    void theFormStaysWhileASignInIsPending()
    {
        fixture().start();
        AccountSheetView& sheet = openSheet();
        settle();
        auto* password = find<QLineEdit>(QStringLiteral("passwordField"));
        find<QLineEdit>(QStringLiteral("emailField"))->setText(AccountFixture::email);
        password->setText(QStringLiteral("wrong password"));
        sheet.flushRefresh();
        password->setFocus();
        QTest::keyClick(password, Qt::Key_Return);
        QTRY_VERIFY(!viewModel().accountState().isSubmittingAuth());
        settle();
        QTRY_VERIFY(statusShown());
        const QString failed = statusText();
        const QStringList form{QStringLiteral("signInModeButton"), QStringLiteral("emailField"),
                               QStringLiteral("passwordField"), QStringLiteral("submitAuthButton")};
        const auto places = [&] {
            ui::settleLayouts(sheet);
            QList<QPoint> points;
            for (const QString& name : form)
                points.append(find<QWidget>(name)->mapTo(&sheet, QPoint(0, 0)));
            return points;
        };
        const QList<QPoint> before = places();

        http().setDelay(kLoginPath, std::chrono::milliseconds(400));
        QTest::keyClick(password, Qt::Key_Return);
        QVERIFY(viewModel().accountState().isSubmittingAuth());
        sheet.flushRefresh();
        QCOMPARE(places(), before);
        saveSheetScreen(&sheet, QStringLiteral("account-signin-pending"));
        QTRY_VERIFY(!viewModel().accountState().isSubmittingAuth());
        settle();
        QTRY_VERIFY(statusShown());
        QCOMPARE(statusText(), failed);
        QCOMPARE(places(), before);
    }

    void signUpSendsTheNicknameAndSignsIn()
    {
        fixture().start();
        AccountSheetView& sheet = openSheet();
        settle();
        find<QPushButton>(QStringLiteral("signUpModeButton"))->click();
        sheet.flushRefresh();
        auto* nickName = find<QLineEdit>(QStringLiteral("nickNameField"));
        QVERIFY(nickName->isVisibleTo(&sheet));
        find<QLineEdit>(QStringLiteral("emailField"))->setText(QStringLiteral("ben@example.com"));
        find<QLineEdit>(QStringLiteral("passwordField"))->setText(QStringLiteral(" new pass "));
        nickName->setText(QStringLiteral("   "));
        sheet.flushRefresh();
        auto* submit = find<QPushButton>(QStringLiteral("submitAuthButton"));
        QCOMPARE(submit->text(), QStringLiteral("Create Account"));
        QVERIFY(!submit->isEnabled());
        nickName->setText(QStringLiteral(" Ben "));
        sheet.flushRefresh();
        saveSheetScreen(&sheet, QStringLiteral("account-sign-up"));
        submit->click();
        QTRY_VERIFY(viewModel().accountState().backendSession());
        const QJsonObject body = http().requestsTo(kRegisterPath).first().jsonBody();
        QCOMPARE(body.value(QStringLiteral("nickName")).toString(), QStringLiteral("Ben"));
        QCOMPARE(fixture().service.passwordOf(QStringLiteral("ben@example.com")),
                 QStringLiteral(" new pass "));
    }

    void aFailedSignInWithTheCaptchaGetsANewChallengeAndKeepsTheForm()
    {
        fixture().service.setCaptchaEnabled(true);
        fixture().start();
        AccountSheetView& sheet = openSheet();
        QTRY_VERIFY(viewModel().accountState().authCaptchaChallenge().has_value());
        settle();
        QVERIFY(find<QWidget>(QStringLiteral("captchaSection"))->isVisibleTo(&sheet));
        const QString firstId = *viewModel().accountState().authCaptchaChallenge()->captchaId;
        find<QLineEdit>(QStringLiteral("emailField"))->setText(AccountFixture::email);
        find<QLineEdit>(QStringLiteral("passwordField"))->setText(AccountFixture::password);
        sheet.flushRefresh();
        auto* submit = find<QPushButton>(QStringLiteral("submitAuthButton"));
        QVERIFY2(!submit->isEnabled(), "no captcha code typed");
        find<QLineEdit>(QStringLiteral("captchaCodeField"))->setText(QStringLiteral(" 0000 "));
        sheet.flushRefresh();
        QVERIFY(submit->isEnabled());
        submit->click();
        QTRY_VERIFY(!viewModel().accountState().isSubmittingAuth());
        settle();
        QVERIFY(!viewModel().accountState().backendSession());
        const QJsonObject body = http().requestsTo(kLoginPath).first().jsonBody();
        QCOMPARE(body.value(QStringLiteral("captchaCode")).toString(), QStringLiteral("0000"));
        QCOMPARE(body.value(QStringLiteral("captchaId")).toString(), firstId);
        QCOMPARE(statusText(), QStringLiteral("Captcha is invalid or expired."));
        QVERIFY(find<QLineEdit>(QStringLiteral("captchaCodeField"))->text().isEmpty());
        QCOMPARE(find<QLineEdit>(QStringLiteral("passwordField"))->text(), AccountFixture::password);
        const auto second = viewModel().accountState().authCaptchaChallenge();
        QVERIFY(second && second->captchaId && *second->captchaId != firstId);
        QCOMPARE(http().requestsTo(kCaptchaPath).last().queryValue(QStringLiteral("site")),
                 viewModel().accountState().authSettings()->siteKey);
        // The service's picture of the new challenge is shown, once its decoder (a process of its
        // own, slow on a loaded machine) has drawn it.
        sheet.flushRefresh();
        QTRY_VERIFY_WITH_TIMEOUT(settleCaptchas(&sheet) &&
                                     find<ui::CaptchaImage>(QStringLiteral("captchaImage"))->hasImage(),
                                 20000);
        saveSheetScreen(&sheet, QStringLiteral("account-captcha-failure"));
    }

    void switchingTheModeClearsOnlyTheCaptchaCode()
    {
        fixture().service.setCaptchaEnabled(true);
        fixture().start();
        openSheet();
        QTRY_VERIFY(viewModel().accountState().authCaptchaChallenge().has_value());
        settle();
        find<QLineEdit>(QStringLiteral("emailField"))->setText(AccountFixture::email);
        find<QLineEdit>(QStringLiteral("passwordField"))->setText(AccountFixture::password);
        find<QLineEdit>(QStringLiteral("captchaCodeField"))->setText(QStringLiteral("1234"));
        find<QPushButton>(QStringLiteral("signUpModeButton"))->click();
        QVERIFY(find<QLineEdit>(QStringLiteral("captchaCodeField"))->text().isEmpty());
        QCOMPARE(find<QLineEdit>(QStringLiteral("emailField"))->text(), AccountFixture::email);
        QCOMPARE(find<QLineEdit>(QStringLiteral("passwordField"))->text(), AccountFixture::password);
    }

    void losingTheSessionWhileOpenShowsTheFormAgain()
    {
        fixture().start();
        signInThroughTheModel();
        AccountSheetView& sheet = openSheet();
        settle();
        const qsizetype settingsBefore = fixture().requestsTo(kSettingsPath);
        QVERIFY(find<QWidget>(QStringLiteral("signedInPanel"))->isVisibleTo(&sheet));
        // The service no longer knows the session; the next account call finds it gone.
        http().answerNext(kOverviewPath, LoopbackReply::envelope(401, QStringLiteral("AUTH_TOKEN_INVALID"),
                                                                 QStringLiteral("Invalid token.")));
        http().answerNext(kRefreshPath,
                          LoopbackReply::envelope(401, QStringLiteral("AUTH_REFRESH_TOKEN_INVALID"),
                                                  QStringLiteral("Invalid refresh token.")));
        find<CollapsibleSection>(QStringLiteral("migrationSyncSection"))->setExpanded(true);
        sheet.flushRefresh();
        find<QPushButton>(QStringLiteral("refreshOverviewButton"))->click();
        QTRY_VERIFY(!viewModel().accountState().backendSession());
        QTRY_COMPARE(fixture().requestsTo(kSettingsPath), settingsBefore + 1);
        settle();
        QVERIFY(find<QWidget>(QStringLiteral("signedOutPanel"))->isVisibleTo(&sheet));
        QVERIFY(!find<QWidget>(QStringLiteral("migrationSyncSection"))->isVisibleTo(&sheet));
        QVERIFY(viewModel().activity().accessRequirementPrompt().has_value());
    }

    void signOutDismissesAfterTheServiceAnswered()
    {
        fixture().start();
        signInThroughTheModel();
        AccountSheetView& sheet = openSheet();
        settle();
        QSignalSpy dismissed(&sheet, &AccountSheetView::dismissRequested);
        find<QPushButton>(QStringLiteral("signOutButton"))->click();
        QTRY_COMPARE(dismissed.size(), 1);
        QVERIFY(!viewModel().accountState().backendSession());
        QCOMPARE(fixture().requestsTo(kLogoutPath), 1);
    }

    void theFeedbackFocusOpensTheSectionInView_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("signed in") << true;
        QTest::newRow("signed in later") << false;
    }
    void theFeedbackFocusOpensTheSectionInView()
    {
        QFETCH(bool, signedIn);
        fixture().start();
        if (signedIn)
            signInThroughTheModel();
        openSheet(AccountSheetView::InitialFocus::feedback);
        auto* feedback = find<CollapsibleSection>(QStringLiteral("feedbackSection"));
        QCOMPARE(feedback->isExpanded(), signedIn);
        if (!signedIn) {
            settle();
            QVERIFY(fixture().signIn());
            QVERIFY(feedback->isExpanded());
        }
        settle();
        QTRY_VERIFY(find<QScrollArea>(QStringLiteral("accountSheetScroll"))->verticalScrollBar()->value() >
                    0);
        auto* scroll = find<QScrollArea>(QStringLiteral("accountSheetScroll"));
        const QPoint top = feedback->mapTo(scroll->viewport(), QPoint(0, 0));
        QVERIFY2(top.y() >= 0 && top.y() < scroll->viewport()->height(),
                 qPrintable(QString::number(top.y())));
        QVERIFY(!find<CollapsibleSection>(QStringLiteral("passwordSection"))->isExpanded());
    }

    void thePasswordChange_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("refusedAsSame");
        QTest::addColumn<bool>("signedOut");
        QTest::newRow("mismatch in case") << AccountFixture::password << "NewPass1!"
                                          << "newpass1!" << false << false << false;
        QTest::newRow("mismatch by a trailing space") << AccountFixture::password << "NewPass1!"
                                                      << "NewPass1! " << false << false << false;
        QTest::newRow("same as current") << AccountFixture::password << AccountFixture::password
                                         << AccountFixture::password << true << true << false;
        QTest::newRow("success") << AccountFixture::password << "NewPass1!"
                                 << "NewPass1!" << true << false << true;
        // A decomposed e with acute accent matches its composed form; the typed form is sent.
        QTest::newRow("canonically equivalent")
            << AccountFixture::password << QStringLiteral("Caf\u00e9Pass1!")
            << QStringLiteral("Cafe\u0301Pass1!") << true << false << true;
        QTest::newRow("spaces only") << AccountFixture::password << "        "
                                     << "        " << true << false << true;
    }
    void thePasswordChange()
    {
        QFETCH(QString, current);
        QFETCH(QString, newPassword);
        QFETCH(QString, confirmation);
        QFETCH(bool, enabled);
        QFETCH(bool, refusedAsSame);
        QFETCH(bool, signedOut);
        fixture().start();
        signInThroughTheModel();
        AccountSheetView& sheet = openSheet();
        settle();
        find<CollapsibleSection>(QStringLiteral("passwordSection"))->setExpanded(true);
        find<QLineEdit>(QStringLiteral("passwordField"))->setText(QStringLiteral("typed before"));
        find<QLineEdit>(QStringLiteral("currentPasswordField"))->setText(current);
        find<QLineEdit>(QStringLiteral("newPasswordField"))->setText(newPassword);
        find<QLineEdit>(QStringLiteral("confirmPasswordField"))->setText(confirmation);
        sheet.flushRefresh();
        auto* change = find<QPushButton>(QStringLiteral("changePasswordButton"));
        QCOMPARE(change->isEnabled(), enabled);
        if (!enabled) {
            change->click();
            saveSheetScreen(&sheet, QStringLiteral("account-password-mismatch"));
            QCOMPARE(fixture().requestsTo(kPasswordPath), 0);
            return;
        }
        if (refusedAsSame) {
            http().answerNext(kPasswordPath,
                              LoopbackReply::envelope(
                                  400, QStringLiteral("INVALID_PASSWORD"),
                                  QStringLiteral("The new password must differ from the current one.")));
        }
        change->click();
        QTRY_COMPARE(fixture().requestsTo(kPasswordPath), 1);
        settle();
        const QJsonObject body = http().requestsTo(kPasswordPath).first().jsonBody();
        QCOMPARE(body.value(QStringLiteral("newPassword")).toString(), newPassword);
        QCOMPARE(!viewModel().accountState().backendSession().has_value(), signedOut);
        if (signedOut) {
            QTRY_VERIFY(find<QLineEdit>(QStringLiteral("passwordField"))->text().isEmpty());
            QVERIFY(find<QLineEdit>(QStringLiteral("newPasswordField"))->text().isEmpty());
            QVERIFY(find<QWidget>(QStringLiteral("signedOutPanel"))->isVisibleTo(&sheet));
            QCOMPARE(fixture().service.passwordOf(AccountFixture::email), newPassword);
        } else {
            QCOMPARE(statusText(), QStringLiteral("The new password must differ from the current one."));
            QCOMPARE(find<QLineEdit>(QStringLiteral("newPasswordField"))->text(), newPassword);
            QCOMPARE(find<QLineEdit>(QStringLiteral("passwordField"))->text(),
                     QStringLiteral("typed before"));
            saveSheetScreen(&sheet, QStringLiteral("account-password-refused"));
        }
    }

    void anUnreachableServiceShowsTheFailureIconAndTheGuestNote_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("unreachable");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("screen");
        const QString zh = QStringLiteral("无法连接账号服务，请检查网络连接后再试。");
        const QString en =
            QStringLiteral("Cannot reach the account service. Check the network connection and try again.");
        const QString noteZh = QStringLiteral(
            "不登录也能使用全部迁移、反悔和修复功能；登录只增加迁移记录备份、多设备总览和反馈。");
        const QString noteEn =
            QStringLiteral("Everything else works without an account; signing in only adds "
                           "history backup, the multi-device overview and feedback.");
        QTest::newRow("english") << UILanguage::english << en << noteEn << "account-unreachable-en";
        QTest::newRow("chinese") << UILanguage::chinese << zh << noteZh << "account-unreachable-zh";
        QTest::newRow("bilingual") << UILanguage::bilingual << zh + " " + en << noteZh + " " + noteEn
                                   << "account-unreachable-bi";
    }
    // The sheet loads the sign-in requirements on its own: a refused connection shows as a failure,
    // not beside a check mark, and a sign-in that fails the same way says the same.
    void anUnreachableServiceShowsTheFailureIconAndTheGuestNote()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, unreachable);
        QFETCH(QString, note);
        QFETCH(QString, screen);
        fixture().start([language](AppConfig& config) {
            config.uiLanguage = language;
            config.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
        });
        AccountSheetView& sheet = openSheet();
        QTRY_COMPARE(statusLine(viewModel()).value_or(QString()), unreachable);
        settle();
        QVERIFY(statusShown());
        QCOMPARE(statusText(), unreachable);
        const auto* status = find<ui::TintedBox>(QStringLiteral("statusLine"));
        QCOMPARE(status->tint(), QColor(Qt::red));
        QCOMPARE(find<QLabel>(QStringLiteral("guestNote"))->text(), note);
        QVERIFY(find<QLabel>(QStringLiteral("guestNote"))->isVisibleTo(&sheet));
        saveSheetScreen(&sheet, screen);

        runTask(viewModel().account().auth().signIn(AccountFixture::email, AccountFixture::password,
                                                    std::nullopt, std::nullopt));
        sheet.flushRefresh();
        QCOMPARE(statusText(), unreachable);
        QCOMPARE(status->tint(), QColor(Qt::red));

        // A status that reports success keeps its own mark.
        ViewModelInternals::context(viewModel()).activity().setErrorMessage(std::nullopt);
        ViewModelInternals::context(viewModel())
            .accountState()
            .setBackendStatusMessage(BilingualText::same(QStringLiteral("Captcha refreshed.")));
        sheet.flushRefresh();
        QCOMPARE(status->tint(), QColor(Qt::blue));
    }

    void theErrorLineWinsOverTheStatusLine()
    {
        fixture().start();
        AccountSheetView& sheet = openSheet();
        settle();
        ViewModelInternals::context(viewModel())
            .accountState()
            .setBackendStatusMessage(BilingualText::same(QStringLiteral("All good.")));
        ViewModelInternals::context(viewModel()).activity().setErrorMessage(BilingualText::same(QString()));
        sheet.flushRefresh();
        QVERIFY(statusShown());
        QCOMPARE(statusText(), QStringLiteral("All good."));
        ViewModelInternals::context(viewModel())
            .activity()
            .setErrorMessage(BilingualText::same(QStringLiteral("Broken.")));
        sheet.flushRefresh();
        QCOMPARE(statusText(), QStringLiteral("Broken."));
        ViewModelInternals::context(viewModel()).activity().setErrorMessage(std::nullopt);
        ViewModelInternals::context(viewModel()).accountState().setBackendStatusMessage(std::nullopt);
        sheet.flushRefresh();
        QVERIFY(!statusShown());
    }

    // A button's follow-up must not run on a sheet that was closed while the reply was pending.
    void closingTheSheetWhileARequestIsPending_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("sign in") << QStringLiteral("signIn");
        QTest::newRow("sign out") << QStringLiteral("signOut");
        QTest::newRow("password") << QStringLiteral("password");
        QTest::newRow("feedback") << QStringLiteral("feedback");
    }
    void closingTheSheetWhileARequestIsPending()
    {
        QFETCH(QString, action);
        fixture().start();
        if (action != QLatin1String("signIn"))
            signInThroughTheModel();
        AccountSheetView& sheet = openSheet();
        settle();
        const auto slow = std::chrono::milliseconds(300);
        if (action == QLatin1String("signIn")) {
            http().setDelay(kLoginPath, slow);
            find<QLineEdit>(QStringLiteral("emailField"))->setText(AccountFixture::email);
            find<QLineEdit>(QStringLiteral("passwordField"))->setText(AccountFixture::password);
            sheet.flushRefresh();
            find<QPushButton>(QStringLiteral("submitAuthButton"))->click();
        } else if (action == QLatin1String("signOut")) {
            http().setDelay(kLogoutPath, slow);
            find<QPushButton>(QStringLiteral("signOutButton"))->click();
        } else if (action == QLatin1String("password")) {
            http().setDelay(kPasswordPath, slow);
            find<CollapsibleSection>(QStringLiteral("passwordSection"))->setExpanded(true);
            for (const QString& name :
                 {QStringLiteral("currentPasswordField"), QStringLiteral("newPasswordField"),
                  QStringLiteral("confirmPasswordField")})
                find<QLineEdit>(name)->setText(AccountFixture::password);
            sheet.flushRefresh();
            find<QPushButton>(QStringLiteral("changePasswordButton"))->click();
        } else {
            http().setDelay(kFeedbackPath, slow);
            find<CollapsibleSection>(QStringLiteral("feedbackSection"))->setExpanded(true);
            find<QLineEdit>(QStringLiteral("feedbackSubjectField"))->setText(QStringLiteral("Slow"));
            find<QPlainTextEdit>(QStringLiteral("feedbackContentEditor"))
                ->setPlainText(QStringLiteral("Body"));
            sheet.flushRefresh();
            find<QPushButton>(QStringLiteral("sendFeedbackButton"))->click();
        }
        QVERIFY(viewModel().accountState().isBackendBusy() ||
                viewModel().accountState().isChangingPassword());
        m_sheet.reset();
        QTRY_VERIFY(!viewModel().accountState().isBackendBusy() &&
                    !viewModel().accountState().isChangingPassword());
        // The flow itself ran to its end; only the sheet's follow-up was skipped.
        QCOMPARE(viewModel().accountState().backendSession().has_value(),
                 action == QLatin1String("feedback") || action == QLatin1String("signIn"));
    }
};

QTEST_MAIN(AccountSheetTest)
#include "tst_accountsheet.moc"
