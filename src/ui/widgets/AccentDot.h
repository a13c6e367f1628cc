#pragma once

#include <QColor>
#include <QWidget>

namespace orvalink::ui {

// A small disc in an accent colour at 20% that marks whose a card is: 12 px wide, drawn 4 px down
// in a 16 px high box so it sits on the first line of a title beside it.
class AccentDot : public QWidget {
    Q_OBJECT

public:
    explicit AccentDot(QWidget* parent = nullptr);

    void setAccent(const QColor& accent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_accent;
};

} // namespace orvalink::ui
