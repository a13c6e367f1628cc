#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <utility>

class QBoxLayout;

namespace orvalink::ui {

namespace keyedwidgets {
// Puts `widgets` into `layout` from `firstIndex` on, in this order, moving only those out of place.
void placeInOrder(QBoxLayout* layout, int firstIndex, const QList<QWidget*>& widgets);
// Takes `widget` out of `layout` (when there is one), hides it and deletes it once control returns
// to the event loop.
void discard(QBoxLayout* layout, QWidget* widget);
} // namespace keyedwidgets

// One widget per record in a box layout, kept across changes by the record's key. A refresh hands
// over the whole list, as the state publishes it; the widgets of the keys it still holds stay and are
// updated in place, so an unchanged list costs no relayout, a changed record repaints only its own
// widget, and focus or a selection in a kept widget survives. Main thread only.
template <typename Widget> class KeyedWidgets {
public:
    // Without a layout the owner places the widgets itself, in the order widgets() gives (a row that
    // lays out its own children): they are only kept, made and discarded here.
    KeyedWidgets() = default;

    // The widgets stand in `layout` from `firstIndex` on; what stands before (a title) or after (a
    // stretch) is left alone. Called once, before the first sync.
    void attach(QBoxLayout* layout, int firstIndex = 0)
    {
        m_layout = layout;
        m_firstIndex = firstIndex;
    }

    // Makes the widgets stand for `items`, in their order. A kept key keeps its widget; a new key gets
    // `make(item)`; every widget then gets `update(widget, item)`. The widget of a key that is gone is
    // deleted later, never at once: a click on it may be what asked for this change. A key that
    // appears twice gets two widgets. Returns whether the widgets changed (one made, one gone, or
    // their order), which is when what follows their order (the Tab order) needs doing again.
    template <typename Item, typename KeyOf, typename Make, typename Update>
    bool sync(const QList<Item>& items, KeyOf keyOf, Make make, Update update)
    {
        QList<Entry> previous = std::exchange(m_entries, {});
        for (const Item& item : items) {
            const QString key = keyOf(item);
            Widget* widget = nullptr;
            for (Entry& entry : previous) {
                if (entry.widget && entry.key == key) {
                    widget = std::exchange(entry.widget, nullptr);
                    break;
                }
            }
            if (!widget)
                widget = make(item);
            update(widget, item);
            m_entries.append(Entry{key, widget});
        }
        for (const Entry& entry : previous) {
            if (entry.widget)
                keyedwidgets::discard(m_layout, entry.widget);
        }
        QList<Widget*> widgets;
        for (const Entry& entry : m_entries)
            widgets.append(entry.widget);
        if (widgets == m_widgets)
            return false;
        m_widgets = std::move(widgets);
        if (m_layout) {
            QList<QWidget*> placed(m_widgets.begin(), m_widgets.end());
            keyedwidgets::placeInOrder(m_layout, m_firstIndex, placed);
        }
        return true;
    }

    // The widgets, in the order of the last sync.
    const QList<Widget*>& widgets() const { return m_widgets; }

private:
    struct Entry {
        QString key;
        Widget* widget = nullptr;
    };

    QBoxLayout* m_layout = nullptr;
    int m_firstIndex = 0;
    QList<Entry> m_entries;
    QList<Widget*> m_widgets;
};

} // namespace orvalink::ui
