#pragma once

#include <QLineEdit>
#include <optional>

class QMenu;

namespace orvalink::ui {

// A path the user can select and copy but not edit: a read-only line edit without a frame or
// background, in a monospace font. A path longer than the field loses its middle to "…" (and is
// whole in the tool tip) until the field takes the focus, where it scrolls to be selected. Its context
// menu holds one entry, copy, labelled with the owner's text: of the path the owner names with
// setCopiedPath() when it shows a masked form, else of the selection, or of the whole text when
// nothing is selected.
class SelectablePathField : public QLineEdit {
    Q_OBJECT

public:
    explicit SelectablePathField(QWidget* parent = nullptr);

    void setCopyActionText(const QString& text) { m_copyText = text; }
    // The real path behind a shown (masked) text; an empty path leaves nothing to copy.
    void setCopiedPath(const QString& path) { m_copiedPath = path; }

    // The menu the context-menu request shows; the caller owns it.
    QMenu* createPathMenu(QWidget* parent);

    // Puts the copied path, or else the selection or the whole text, on the clipboard.
    void copyPath();

    // The text as drawn while the field has no focus.
    QString shownText() const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QRect textArea() const;
    QString copiedText() const;

    QString m_copyText;
    std::optional<QString> m_copiedPath;
};

} // namespace orvalink::ui
