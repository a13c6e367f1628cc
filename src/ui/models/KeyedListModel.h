#pragma once

#include <QAbstractListModel>
#include <QList>

namespace orvalink::ui {

// A list model whose owner hands it the whole list on every change, as the state object publishes
// it. The views hear what really changed: the rows whose keys the old and the new list share at
// either end stay (and repaint only when their value changed), the rows between are removed and
// inserted, or moved where one row went from one end of them to the other. A record prepended to a
// long list is one inserted row; the model never resets, so the view keeps its scroll position and
// lays out the new row only.
class KeyedListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    // Every row is painted again: what the rows show changed around them (the language, privacy).
    void repaintAll();

protected:
    // Makes `rows` equal to `next`, announcing each step. `keyOf` gives a row's identity.
    template <typename T, typename KeyOf> void replaceRows(QList<T>& rows, const QList<T>& next, KeyOf keyOf)
    {
        if (rows == next)
            return;
        const auto sameKey = [&](qsizetype oldRow, qsizetype newRow) {
            return keyOf(rows.at(oldRow)) == keyOf(next.at(newRow));
        };
        const qsizetype oldSize = rows.size();
        const qsizetype newSize = next.size();
        qsizetype head = 0;
        while (head < oldSize && head < newSize && sameKey(head, head))
            ++head;
        qsizetype tail = 0;
        while (tail < oldSize - head && tail < newSize - head &&
               sameKey(oldSize - 1 - tail, newSize - 1 - tail))
            ++tail;
        const qsizetype removed = oldSize - head - tail;
        const qsizetype inserted = newSize - head - tail;
        if (!moveOneRow(rows, head, removed == inserted ? removed : 0, sameKey)) {
            if (removed > 0) {
                beginRemoveRows({}, int(head), int(head + removed - 1));
                rows.remove(head, removed);
                endRemoveRows();
            }
            if (inserted > 0) {
                beginInsertRows({}, int(head), int(head + inserted - 1));
                rows = rows.first(head) + next.mid(head, inserted) + rows.sliced(head);
                endInsertRows();
            }
        }
        // The kept rows may carry new values under their old keys (a record updated in place).
        qsizetype first = -1;
        qsizetype last = -1;
        for (qsizetype row = 0; row < newSize; ++row) {
            if (rows.at(row) == next.at(row))
                continue;
            rows[row] = next.at(row);
            first = first < 0 ? row : first;
            last = row;
        }
        if (first >= 0)
            Q_EMIT dataChanged(index(int(first)), index(int(last)));
    }

private:
    // Where the `count` rows from `first` on are the same but for one that went from one end of
    // them to the other (a mapping repaired, and so newest, goes to the top), announces that move.
    template <typename T, typename SameKey>
    bool moveOneRow(QList<T>& rows, qsizetype first, qsizetype count, SameKey sameKey)
    {
        if (count < 2)
            return false;
        const qsizetype last = first + count - 1;
        bool toFront = sameKey(last, first);
        bool toBack = sameKey(first, last);
        for (qsizetype offset = 1; offset < count; ++offset) {
            toFront = toFront && sameKey(first + offset - 1, first + offset);
            toBack = toBack && sameKey(first + offset, first + offset - 1);
        }
        if (toFront) {
            beginMoveRows({}, int(last), int(last), {}, int(first));
            rows.move(last, first);
            endMoveRows();
        } else if (toBack) {
            beginMoveRows({}, int(first), int(first), {}, int(last + 1));
            rows.move(first, last);
            endMoveRows();
        }
        return toFront || toBack;
    }
};

} // namespace orvalink::ui
