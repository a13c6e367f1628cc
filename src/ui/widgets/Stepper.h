#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace orvalink::ui {

// A label followed by − and + buttons that step a value within a range. A step never leaves the
// range: it stops at the bounds, and a button is disabled at its bound. setValue() keeps what it is
// given, even outside the range (the owner's value is the truth); the next step brings it back in.
class Stepper : public QWidget {
    Q_OBJECT

public:
    explicit Stepper(QWidget* parent = nullptr);

    double value() const { return m_value; }
    void setValue(double value);
    void setRange(double minimum, double maximum);
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    void setStep(double step);
    double step() const { return m_step; }

    void setLabelText(const QString& text);
    QString labelText() const;

    QToolButton* decrementButton() const { return m_decrement; }
    QToolButton* incrementButton() const { return m_increment; }

public Q_SLOTS:
    void stepUp() { stepBy(1); }
    void stepDown() { stepBy(-1); }

Q_SIGNALS:
    // A step of the user (a click or a key), with the new value.
    void valueStepped(double value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void stepBy(int direction);
    void updateButtons();

    double m_value = 0;
    double m_minimum = 0;
    double m_maximum = 100;
    double m_step = 1;
    QLabel* m_label = nullptr;
    QToolButton* m_decrement = nullptr;
    QToolButton* m_increment = nullptr;
};

} // namespace orvalink::ui
