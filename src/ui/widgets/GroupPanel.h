#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace orvalink::ui {

// A titled group: a label row (optional symbol, then the title) above a rounded, faintly filled
// box that holds the content. Hidden parts take no room: no title and no symbol hide the label row.
class GroupPanel : public QWidget {
    Q_OBJECT

public:
    explicit GroupPanel(QWidget* parent = nullptr);
    GroupPanel(const QString& title, const QString& symbol, QWidget* parent = nullptr);

    QString title() const;
    void setTitle(const QString& title);

    // A symbol name of Symbols; empty shows none.
    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& name);

    // Puts `widget` on the title row after the title, with `stretch` (the group takes ownership).
    void addHeaderWidget(QWidget* widget, int stretch = 0);
    // Shows or hides the box with the content; the title row stays.
    void setContentVisible(bool visible);

    // Room between the title row and the box (6 px unless set).
    void setHeaderSpacing(int pixels);
    // Tighter room for a group among many in a column: 3 px below the title, 10 px either side
    // of the content, 5 px above and below it and 6 px between its lines.
    void setCompact();

    // The layout of the box; the owner adds the panel's content here.
    QVBoxLayout* contentLayout() const { return m_contentLayout; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateHeader();

    QString m_symbol;
    QWidget* m_header = nullptr;
    QLabel* m_symbolLabel = nullptr;
    QLabel* m_titleLabel = nullptr;
    QWidget* m_box = nullptr;
    QVBoxLayout* m_contentLayout = nullptr;
};

} // namespace orvalink::ui
