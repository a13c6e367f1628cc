#pragma once

#include <QComboBox>

namespace orvalink::ui {

// A menu button (a combo box) that, given less width than its chosen option needs, shows that
// option cut short with "…" and whole in its tool tip (plain text), where a QComboBox would clip it
// through a glyph.
class ElidingComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ElidingComboBox(QWidget* parent = nullptr);

    // The chosen option as drawn at the present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int textWidth() const;
    void syncToolTip();
};

} // namespace orvalink::ui
