#pragma once

#include <QLineEdit>

class QMenu;
class QTextDocument;

namespace orvalink::ui {

// A path the user can select and copy but not edit: a read-only line edit without a frame or
// background, in a monospace font unless the owner gives another. It shows the text its owner gives (the
// path, its masked form under presentation privacy, or a label before the path) and copies the real path the
// owner names with setPath(), whatever the text shows. A text longer than the field loses its middle to "…"
// (and is whole in the tool tip) until the field takes the focus, where it scrolls to be selected. Its
// context menu is createPathMenu(): one entry, copy, labelled with the owner's text. A field given only a
// text (setText) copies its selection, or the whole text when nothing is selected.
class SelectablePathField : public QLineEdit {
    Q_OBJECT

public:
    // Where the text sits: Inset keeps the line edit's inner margins (a field in a row of controls),
    // Flush puts it where a one-line label would (a path among labels or in a list of them), as tall
    // as the font and from the left edge.
    enum class Placement { Inset, Flush };

    // `pixelSize` 0 keeps the size the field inherits (12 px where that is not in pixels).
    explicit SelectablePathField(QWidget* parent = nullptr, int pixelSize = 0,
                                 Placement placement = Placement::Inset);

    void setCopyActionText(const QString& text) { m_copyText = text; }

    // Shows `shownText` for the real path `path`; an empty path leaves nothing to copy. The text
    // changes only when it differs, so a selection survives refreshes that change nothing.
    void setPath(const QString& path, const QString& shownText);
    // The real path behind the shown text, as setPath() gave it.
    const QString& rawPath() const { return m_rawPath; }

    // The menu a context-menu request shows (there as the field's child); the caller owns it.
    virtual QMenu* createPathMenu(QWidget* parent);

    // Puts the real path, or else the selection or the whole text, on the clipboard.
    void copyPath();

    // The text as drawn while the field has no focus.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // What the copy action puts on the clipboard; empty when there is nothing to copy.
    QString copiedText() const;
    QRect textArea() const;
    // A text cut short is whole in the tool tip; one shown whole has none.
    void syncToolTip();

    Placement m_placement;
    QString m_copyText;
    QString m_rawPath;
    bool m_hasPath = false;
    // The whole text as a flush field draws it; set again on a change of text or font.
    QTextDocument* m_document = nullptr;
    bool m_documentCurrent = false;
};

} // namespace orvalink::ui
