#pragma once

#include <QComboBox>

namespace orvalink::ui {

// A menu button (a combo box) that, given less width than its chosen option needs, shows that
// option cut short with "…" and whole in its tool tip (plain text), where a QComboBox would clip it
// through a glyph. The tip follows the option as it is painted, also after the options were
// relabelled without a signal.
class ElidingComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ElidingComboBox(QWidget* parent = nullptr);

    // The chosen option as drawn at the present width.
    QString shownText() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int textWidth() const;
    // Sets the tip for the option drawn as `shown`: its whole text when cut short, else none.
    void syncToolTip(const QString& shown);
};

} // namespace orvalink::ui
