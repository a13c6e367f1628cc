#pragma once

#include "ui/widgets/SteadyScrollArea.h"

namespace orvalink::ui {

// A steady column part that asks for its content's whole height (no more than the cap, when one is
// set) and makes do with any less: where the layout around it has less room, the content scrolls
// inside it. A QScrollArea asks for at most a few dozen lines whatever its content holds.
class FittedScrollArea : public SteadyScrollArea {
    Q_OBJECT

public:
    explicit FittedScrollArea(QWidget* parent = nullptr);

    // The most height the area asks for; 0 for no cap.
    void setHeightCap(int pixels);
    int heightCap() const { return m_heightCap; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The content's height at the area's present width.
    int contentHeight() const;

    int m_heightCap = 0;
};

} // namespace orvalink::ui
