#include "ui/widgets/Stepper.h"

#include "ui/widgets/FocusRing.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace orvalink::ui {

namespace {

QToolButton* makeButton(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setAutoRepeat(true);
    button->setFixedSize(22, 20);
    return button;
}

} // namespace

Stepper::Stepper(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("stepperLabel"));
    m_decrement = makeButton(QStringLiteral("\u2212"), QStringLiteral("stepperDecrement"), this);
    m_increment = makeButton(QStringLiteral("+"), QStringLiteral("stepperIncrement"), this);
    layout->addWidget(m_label, 1);
    layout->addSpacing(6);
    layout->addWidget(m_decrement);
    layout->addWidget(m_increment);
    connect(m_decrement, &QToolButton::clicked, this, &Stepper::stepDown);
    connect(m_increment, &QToolButton::clicked, this, &Stepper::stepUp);
    updateButtons();
}

void Stepper::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // The arrow keys step it while it has the focus: it shows that it does.
    QPainter painter(this);
    paintFocusRing(&painter, this, QRectF(rect()), 6);
}

void Stepper::setValue(double value)
{
    if (std::isnan(value))
        return;
    m_value = value;
    updateButtons();
}

void Stepper::setRange(double minimum, double maximum)
{
    m_minimum = std::min(minimum, maximum);
    m_maximum = std::max(minimum, maximum);
    updateButtons();
}

void Stepper::setStep(double step)
{
    if (step > 0 && std::isfinite(step))
        m_step = step;
}

void Stepper::setLabelText(const QString& text)
{
    m_label->setText(text);
}

QString Stepper::labelText() const
{
    return m_label->text();
}

void Stepper::stepBy(int direction)
{
    // Never step against the direction asked for, which a value outside the range would otherwise do.
    if (!isEnabled() || (direction > 0 && m_value >= m_maximum) || (direction < 0 && m_value <= m_minimum))
        return;
    const double next = std::clamp(m_value + direction * m_step, m_minimum, m_maximum);
    if (next == m_value)
        return;
    m_value = next;
    updateButtons();
    Q_EMIT valueStepped(m_value);
}

void Stepper::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Plus)
        stepUp();
    else if (event->key() == Qt::Key_Down || event->key() == Qt::Key_Minus)
        stepDown();
    else
        QWidget::keyPressEvent(event);
}

void Stepper::updateButtons()
{
    m_decrement->setEnabled(m_value > m_minimum);
    m_increment->setEnabled(m_value < m_maximum);
}

} // namespace orvalink::ui
