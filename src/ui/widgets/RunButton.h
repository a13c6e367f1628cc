#pragma once

#include <QPushButton>

namespace orvalink::ui {

// A push button that starts a run which disables it. It keeps the keyboard focus while disabled,
// where Qt would pass the focus on to the next control in the chain (far from where the user
// works): the user's place stays with the control that started the run, shown by a focus ring
// (the style draws none on a disabled button). Tab and Shift+Tab move on from it as from any
// control; Space does nothing until it is enabled again.
class RunButton : public QPushButton {
    Q_OBJECT

public:
    explicit RunButton(QWidget* parent = nullptr) : QPushButton(parent) {}

protected:
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvalink::ui
