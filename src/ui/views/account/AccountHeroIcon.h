#pragma once

#include <QWidget>

namespace orvalink::ui {

// The avatar of the signed-in account: a gradient tile with the account symbol.
class AccountHeroIcon : public QWidget {
    Q_OBJECT

public:
    explicit AccountHeroIcon(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvalink::ui
