#pragma once

#include <QScrollArea>

namespace orvalink::ui {

// A one-line row that scrolls sideways when its content is wider than the row: exactly as tall as
// the content, plus the horizontal scroll bar only while the bar is shown, so a row that fits
// wastes no line on an empty bar, and a row that scrolls shows that it does.
class SidewaysScrollArea : public QScrollArea {
    Q_OBJECT

public:
    explicit SidewaysScrollArea(QWidget* parent = nullptr);

    // Sets the row's content (owned by the area) and starts following its size.
    void setContent(QWidget* content);

    // Whether the content is wider than the row, so the bar shows.
    bool overflows() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();
};

} // namespace orvalink::ui
