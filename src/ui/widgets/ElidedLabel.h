#pragma once

#include <QLabel>

namespace orvalink::ui {

// A plain-text label of at most `maximumLines` lines that never cuts through a glyph. A text that
// fits shows as a QLabel shows it (selectable where the owner made it so). A longer one wraps onto
// the lines it may have and the last one drops the rest behind "…" (a one-line label may drop its
// middle instead, for paths); the whole text is then its tool tip, as plain text. text() is always
// the whole text. The label asks for the width of its text but makes do with a few characters, so a
// long text never widens the column it is in.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideRight,
                         int maximumLines = 1);

    Qt::TextElideMode elideMode() const { return m_mode; }
    void setElideMode(Qt::TextElideMode mode);
    int maximumLines() const { return m_maximumLines; }
    void setMaximumLines(int lines);
    // The label is as tall as this many lines (at most its line limit) also where the text takes
    // fewer, so what stands beside or below it does not move when a shorter or longer text comes
    // within them.
    void setLeastLines(int lines);

    // The text as drawn at the present width, lines joined by "\n".
    QString shownText() const;
    // Whether some of the text is left out at the present width.
    bool isElided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return m_maximumLines > 1; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The lines the text takes at `width` (at most the line limit), the last one elided when the
    // text needs more; `complete` tells whether all of it is there.
    QStringList linesFor(int width, bool* complete = nullptr) const;
    int textWidth() const;
    // The whole text is the tip of an elided label; one shown whole has none.
    void syncToolTip(bool elided);

    Qt::TextElideMode m_mode;
    int m_maximumLines;
    int m_leastLines = 1;
};

} // namespace orvalink::ui
