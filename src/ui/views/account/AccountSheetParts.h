#pragma once

#include <QColor>
#include <QWidget>

namespace orvalink::ui {

// A rounded panel filled with a tint at low opacity: the status line of the account sheet.
class TintedPanel : public QWidget {
    Q_OBJECT

public:
    explicit TintedPanel(QWidget* parent = nullptr);

    void setTint(const QColor& tint);
    QColor tint() const { return m_tint; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
};

// The avatar of the signed-in account: a gradient tile with the account symbol.
class AccountHeroIcon : public QWidget {
    Q_OBJECT

public:
    explicit AccountHeroIcon(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvalink::ui
