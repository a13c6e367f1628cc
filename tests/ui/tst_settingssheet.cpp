#include "SheetTestSupport.h"
#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "platform/CommandRunner.h"
#include "ui/views/settings/SettingsSheetView.h"
#include "ui/widgets/SelectablePathField.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;
using orvalink::ui::SettingsSheetView;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

// Answers the administrator check with a fixed outcome once the test lets it go, so the test
// can look at the sheet while the check runs.
class GatedRunner : public platform::CommandRunner {
public:
    explicit GatedRunner(int exitStatus) : m_exitStatus(exitStatus) {}
    platform::CommandOutcome run(const QString& command) override
    {
        m_gate.acquire();
        commands.fetchAndAddOrdered(command == QLatin1String("/bin/true") ? 1 : 1000);
        return platform::CommandOutcome{
            m_exitStatus, false, {}, m_exitStatus == 127 ? "Not authorized\n" : " \n"};
    }
    void release() { m_gate.release(); }
    QAtomicInt commands;

private:
    int m_exitStatus;
    QSemaphore m_gate;
};

QJsonObject savedConfig(const ViewModelFixture& world)
{
    QFile file(world.configPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

// Every control of the settings sheet against the real state object: it shows the setting in
// force and changes it through the settings actions, which save at once.
class SettingsSheetTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ViewModelFixture> m_world;
    std::unique_ptr<MainViewModel> m_viewModel;
    std::unique_ptr<SettingsSheetView> m_sheet;

    MainViewModel& viewModel() { return *m_viewModel; }
    template <typename T> T* find(const QString& name) { return child<T>(m_sheet.get(), name); }

    SettingsSheetView& openSheet(const std::function<void(AppConfig&)>& adjust = {})
    {
        m_viewModel = m_world->makeViewModelWithSettings(adjust);
        m_sheet = std::make_unique<SettingsSheetView>(*m_viewModel);
        m_sheet->setAttribute(Qt::WA_DontShowOnScreen);
        m_sheet->resize(760, 900);
        m_sheet->show();
        m_sheet->flushRefresh();
        return *m_sheet;
    }

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }
    void init()
    {
        m_world = std::make_unique<ViewModelFixture>();
        QVERIFY(m_world->home.isValid());
    }
    void cleanup()
    {
        m_sheet.reset();
        m_viewModel.reset();
        m_world.reset();
    }

    void theLanguageRelabelsTheOpenSheetAndIsSaved_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("segment");
        QTest::newRow("chinese") << UILanguage::chinese << "zh"
                                 << "设置"
                                 << "扫描偏好"
                                 << "中英双语";
        QTest::newRow("english") << UILanguage::english << "en"
                                 << "Settings"
                                 << "Scan Preferences"
                                 << "Bilingual";
        QTest::newRow("bilingual") << UILanguage::bilingual << "bi"
                                   << "设置 Settings"
                                   << "扫描偏好 Scan Preferences"
                                   << "中英双语 Bilingual";
    }
    void theLanguageRelabelsTheOpenSheetAndIsSaved()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, saved);
        QFETCH(QString, title);
        QFETCH(QString, group);
        QFETCH(QString, segment);
        const UILanguage start = language == UILanguage::english ? UILanguage::chinese : UILanguage::english;
        SettingsSheetView& sheet = openSheet([start](AppConfig& config) { config.uiLanguage = start; });
        auto* button = find<QAbstractButton>(QStringLiteral("languageSegment_") + saved);
        QVERIFY(!button->isChecked());
        button->click();
        QCOMPARE(savedConfig(*m_world).value(QStringLiteral("uiLanguage")).toString(), saved);
        sheet.flushRefresh();
        QVERIFY(button->isChecked());
        QCOMPARE(find<QLabel>(QStringLiteral("settingsTitle"))->text(), title);
        QCOMPARE(sheet.windowTitle(), title);
        QVERIFY2(visibleLabelTexts(&sheet).contains(group), qPrintable(visibleLabelTexts(&sheet).join('|')));
        QCOMPARE(find<QAbstractButton>(QStringLiteral("languageSegment_bi"))->text(), segment);
        saveSheetScreen(&sheet, QStringLiteral("settings-") + saved, 760);
    }

    void everyToggleWritesThroughAndIsSaved_data()
    {
        QTest::addColumn<QString>("toggle");
        QTest::addColumn<QString>("key");
        QTest::newRow("privacy") << "privacyToggle"
                                 << "presentationPrivacyEnabled";
        QTest::newRow("strict mode") << "strictModeToggle"
                                     << "strictModeEnabled";
        QTest::newRow("hidden files") << "showHiddenFilesToggle"
                                      << "showHiddenFiles";
        QTest::newRow("live refresh") << "realtimeRefreshToggle"
                                      << "realtimeRefreshEnabled";
        QTest::newRow("unified management") << "unifiedManagementToggle"
                                            << "unifiedTargetManagementEnabled";
    }
    void everyToggleWritesThroughAndIsSaved()
    {
        QFETCH(QString, toggle);
        QFETCH(QString, key);
        SettingsSheetView& sheet = openSheet();
        auto* box = find<QCheckBox>(toggle);
        const bool before = box->isChecked();
        QVERIFY(savedConfig(*m_world).contains(key));
        QCOMPARE(savedConfig(*m_world).value(key).toBool(), before);
        box->click();
        QCOMPARE(savedConfig(*m_world).value(key).toBool(), !before);
        sheet.flushRefresh();
        QCOMPARE(box->isChecked(), !before);
        box->click();
        QCOMPARE(savedConfig(*m_world).value(key).toBool(), before);
    }

    void theFirstTargetLocksTheChoiceUntilReset()
    {
        const QString target = m_world->home.volumes() + QStringLiteral("/Ext/Orvalink");
        SettingsSheetView& sheet = openSheet([&target](AppConfig& config) {
            config.unifiedTargetManagementEnabled = true;
            config.managedTargetRoot = target;
        });
        auto* choose = find<QPushButton>(QStringLiteral("chooseTargetButton"));
        auto* reset = find<QPushButton>(QStringLiteral("resetFirstTargetButton"));
        auto* note = find<QLabel>(QStringLiteral("targetLockNote"));
        QVERIFY(!choose->isEnabled());
        QVERIFY(reset->isEnabled());
        QVERIFY(note->isVisibleTo(&sheet));
        QCOMPARE(find<QLineEdit>(QStringLiteral("firstTargetValue"))->text(),
                 viewModel().presentation().displayPath(target));
        saveSheetScreen(&sheet, QStringLiteral("settings-locked-target"), 760);

        viewModel().settings().setPresentationPrivacyEnabled(true);
        sheet.flushRefresh();
        QVERIFY(find<QLineEdit>(QStringLiteral("activeTargetValue"))->text() !=
                viewModel().settings().effectiveTargetRoot());
        QCOMPARE(find<QLineEdit>(QStringLiteral("activeTargetValue"))->text(),
                 viewModel().presentation().displayPath(viewModel().settings().effectiveTargetRoot()));
        // The lines show masked paths; Copy Path copies the real ones, also from a selection.
        for (const QString& name :
             {QStringLiteral("firstTargetValue"), QStringLiteral("activeTargetValue")}) {
            auto* line = find<ui::SelectablePathField>(name);
            line->setSelection(0, 3);
            QGuiApplication::clipboard()->clear();
            std::unique_ptr<QMenu> menu(line->createPathMenu(nullptr));
            menu->findChild<QAction*>(QStringLiteral("copyPathAction"))->trigger();
            QCOMPARE(QGuiApplication::clipboard()->text(), target);
        }

        // Unified management off: the stored first location no longer locks the choice.
        find<QCheckBox>(QStringLiteral("unifiedManagementToggle"))->click();
        sheet.flushRefresh();
        QVERIFY(choose->isEnabled());
        QVERIFY(reset->isEnabled());
        QVERIFY(!note->isVisibleTo(&sheet));
        reset->click();
        sheet.flushRefresh();
        QVERIFY(savedConfig(*m_world).value(QStringLiteral("managedTargetRoot")).toString().isEmpty());
        QVERIFY(choose->isEnabled());
        QVERIFY(!reset->isEnabled());
        QCOMPARE(find<QLineEdit>(QStringLiteral("firstTargetValue"))->text(), QStringLiteral("Not set"));
        {
            std::unique_ptr<QMenu> menu(
                find<ui::SelectablePathField>(QStringLiteral("firstTargetValue"))->createPathMenu(nullptr));
            QVERIFY(!menu->findChild<QAction*>(QStringLiteral("copyPathAction"))->isEnabled());
        }

        // With unified management on, a reset opens the choice again until the next pick.
        find<QCheckBox>(QStringLiteral("unifiedManagementToggle"))->click();
        sheet.flushRefresh();
        QVERIFY(choose->isEnabled());
        QVERIFY(!note->isVisibleTo(&sheet));
    }

    void theBlockedPathList()
    {
        SettingsSheetView& sheet =
            openSheet([](AppConfig& config) { config.presentationPrivacyEnabled = true; });
        auto* toggle = find<QPushButton>(QStringLiteral("blockedPathsButton"));
        auto* list = find<QScrollArea>(QStringLiteral("blockedPathsList"));
        QCOMPARE(toggle->text(), QStringLiteral("Show Blocked Paths"));
        QVERIFY(!list->isVisibleTo(&sheet));
        toggle->click();
        sheet.flushRefresh();
        QCOMPARE(toggle->text(), QStringLiteral("Hide Blocked Paths"));
        QVERIFY(list->isVisibleTo(&sheet));
        QTRY_VERIFY(list->height() > 0 && list->height() <= 140);
        const QStringList expected = viewModel().settings().strictModeBlockedPaths();
        const QList<QLineEdit*> rows = list->findChildren<QLineEdit*>(QStringLiteral("blockedPathRow"));
        QCOMPARE(rows.size(), expected.size());
        for (qsizetype index = 0; index < rows.size(); ++index)
            QCOMPARE(rows.at(index)->text(), viewModel().presentation().displayPath(expected.at(index)));
        // Under privacy no row shows the home folder.
        for (const QLineEdit* row : rows)
            QVERIFY2(!row->text().contains(m_world->home.home()), qPrintable(row->text()));
        // Longer than the list may grow: it scrolls.
        QTRY_VERIFY(list->widget()->sizeHint().height() > 140);
        QTRY_COMPARE(list->height(), 140);
        saveSheetScreen(&sheet, QStringLiteral("settings-blocked-paths-privacy"), 760);
        toggle->click();
        sheet.flushRefresh();
        QVERIFY(!list->isVisibleTo(&sheet));

        // A new sheet starts with the list closed.
        m_sheet = std::make_unique<SettingsSheetView>(viewModel());
        QVERIFY(!find<QScrollArea>(QStringLiteral("blockedPathsList"))->isVisibleTo(m_sheet.get()));
    }

    void theAdministratorCheck_data()
    {
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("error");
        QTest::newRow("accepted")
            << 0
            << "Administrator authorization verified. Protected migrations will request "
               "system permission."
            << QString();
        QTest::newRow("dismissed") << 126 << QString()
                                   << "Administrator authorization failed: Authorization rejected";
        QTest::newRow("refused") << 127 << QString() << "Administrator authorization failed: Not authorized";
    }
    void theAdministratorCheck()
    {
        QFETCH(int, exitStatus);
        QFETCH(QString, info);
        QFETCH(QString, error);
        SettingsSheetView& sheet = openSheet();
        auto runner = std::make_shared<GatedRunner>(exitStatus);
        viewModel().workflows().workflowSettings().administratorCheckRunner = runner;
        auto* button = find<QPushButton>(QStringLiteral("adminAuthButton"));
        auto* busy = find<QWidget>(QStringLiteral("adminAuthBusyIndicator"));
        button->click();
        sheet.flushRefresh();
        QVERIFY(viewModel().activity().isRequestingAdminAuthorization());
        QVERIFY(!button->isEnabled());
        QVERIFY(busy->isVisibleTo(&sheet));
        button->click(); // disabled: no second check
        runner->release();
        QTRY_VERIFY(!viewModel().activity().isRequestingAdminAuthorization());
        sheet.flushRefresh();
        QVERIFY(button->isEnabled());
        QVERIFY(!busy->isVisibleTo(&sheet));
        QCOMPARE(runner->commands.loadAcquire(), 1);
        QCOMPARE(infoLine(viewModel()).value_or(QString()), info);
        QCOMPARE(errorLine(viewModel()).value_or(QString()), error);
    }

    void closeAsksToBeDismissed()
    {
        SettingsSheetView& sheet = openSheet();
        QSignalSpy dismissed(&sheet, &SettingsSheetView::dismissRequested);
        find<QPushButton>(QStringLiteral("closeButton"))->click();
        QCOMPARE(dismissed.size(), 1);
    }
};

QTEST_MAIN(SettingsSheetTest)
#include "tst_settingssheet.moc"
