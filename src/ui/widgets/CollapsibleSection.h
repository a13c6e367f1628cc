#pragma once

#include "ui/widgets/GroupPanel.h"

#include <QPointer>

class QPushButton;

namespace orvalink::ui {

class RevealAnimation;

// A group panel whose content is a summary row (the summary, then an Expand/Collapse button) and
// a body below a divider that is shown only while the section is expanded. The button's texts come
// from the owner. The button animates the body open or closed unless animations are switched off
// (Motion.h); setExpanded() from code never animates.
class CollapsibleSection : public GroupPanel {
    Q_OBJECT

public:
    explicit CollapsibleSection(QWidget* parent = nullptr);

    // Replace the summary or the body; the section takes ownership, the previous one is deleted.
    void setSummary(QWidget* summary);
    QWidget* summary() const { return m_summary; }
    void setBody(QWidget* body);
    QWidget* body() const { return m_body; }

    void setToggleTexts(const QString& expandText, const QString& collapseText);

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);

    QPushButton* toggleButton() const { return m_toggle; }

Q_SIGNALS:
    void expandedChanged(bool expanded);

private:
    void toggleFromButton();
    void applyExpanded(bool animate);
    void updateToggleText();
    static void replaceChild(QWidget* host, QPointer<QWidget>& slot, QWidget* replacement);

    bool m_expanded = false;
    QString m_expandText;
    QString m_collapseText;
    QWidget* m_summaryHost = nullptr;
    QWidget* m_bodyHost = nullptr;
    QWidget* m_bodySlot = nullptr;
    QPointer<QWidget> m_summary;
    QPointer<QWidget> m_body;
    QPushButton* m_toggle = nullptr;
    RevealAnimation* m_reveal = nullptr;
};

} // namespace orvalink::ui
