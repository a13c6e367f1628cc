#pragma once

#include "ui/widgets/CollapsibleSection.h"

class QLabel;
class QLineEdit;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The password change of the signed-in account. Only checks that the fields are filled and that
// the two new passwords are the same text (compared in composed normal form, so a password typed
// with a decomposed accent matches its composed twin); the service judges the password itself,
// which is sent exactly as typed. Refreshes itself on a running change, the texts and its fields.
class PasswordSection : public CollapsibleSection {
    Q_OBJECT

public:
    explicit PasswordSection(MainViewModel& viewModel, QWidget* parent = nullptr);
    void clearFields();
    bool isPasswordChangeDisabled() const;

Q_SIGNALS:
    // The change ended the session; the sheet empties its sign-in password too.
    void sessionEndedAfterChange();

private:
    void refresh();
    bool newPasswordsMatch() const;
    void submitPasswordChange();

    MainViewModel& m_viewModel;
    QLabel* m_summaryTitle = nullptr;
    QLabel* m_summaryNote = nullptr;
    QLabel* m_rule = nullptr;
    QLineEdit* m_current = nullptr;
    QLineEdit* m_new = nullptr;
    QLineEdit* m_confirm = nullptr;
    QPushButton* m_change = nullptr;
};

} // namespace orvalink::ui
