#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class GroupPanel;
class RefreshScheduler;
class SettingsSafetyGroup;
class SettingsTargetGroup;

// The settings sheet's content: a plain widget the sheet host shows in a window-modal dialog.
// Every control shows the setting in force and changes it through the settings actions, which
// save at once: there is nothing to apply or cancel.
class SettingsSheetView : public QWidget {
    Q_OBJECT

public:
    SettingsSheetView(MainViewModel& viewModel, QWidget* parent = nullptr);

    // The refresh as a pure function of the state; change signals only schedule it.
    void refresh();
    // Runs a pending refresh now (tests, and before rendering off screen).
    void flushRefresh();

Q_SIGNALS:
    // Close was pressed. The hosting dialog closes too.
    void dismissRequested();

private:
    QWidget* buildHeader(QWidget* parent);
    GroupPanel* buildLanguageGroup(QWidget* parent);
    GroupPanel* buildPrivacyGroup(QWidget* parent);
    GroupPanel* buildScanGroup(QWidget* parent);
    GroupPanel* buildNotesGroup(QWidget* parent);
    void dismiss();

    MainViewModel& m_viewModel;
    RefreshScheduler* m_scheduler = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    BusyIndicator* m_busy = nullptr;
    QPushButton* m_close = nullptr;
    GroupPanel* m_languageGroup = nullptr;
    QLabel* m_languageLabel = nullptr;
    QButtonGroup* m_languages = nullptr;
    GroupPanel* m_privacyGroup = nullptr;
    QCheckBox* m_privacy = nullptr;
    QLabel* m_privacyNote = nullptr;
    SettingsTargetGroup* m_targetGroup = nullptr;
    SettingsSafetyGroup* m_safetyGroup = nullptr;
    GroupPanel* m_scanGroup = nullptr;
    QCheckBox* m_hiddenFiles = nullptr;
    QCheckBox* m_realtime = nullptr;
    GroupPanel* m_notesGroup = nullptr;
    QLabel* m_notes = nullptr;
};

} // namespace orvalink::ui
