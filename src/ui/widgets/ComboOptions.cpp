#include "ui/widgets/ComboOptions.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <numeric>

namespace orvalink::ui {

void relabelCombo(QComboBox* combo, const QStringList& texts, int current)
{
    const QSignalBlocker blocker(combo);
    while (combo->count() < texts.size())
        combo->addItem(QString());
    for (int i = 0; i < texts.size(); ++i) {
        if (combo->itemText(i) != texts.at(i))
            combo->setItemText(i, texts.at(i));
    }
    combo->setCurrentIndex(current);
}

namespace {

// The width `combo` needs to show its options from `first` to `last` whole.
int optionsWidth(const QComboBox* combo, int first, int last)
{
    const QFontMetrics metrics = combo->fontMetrics();
    // The wider of each text's advance and its ink, so no glyph touches the arrow.
    int widest = 0;
    for (int i = first; i <= last; ++i) {
        const QString text = combo->itemText(i);
        widest = std::max({widest, metrics.horizontalAdvance(text), metrics.boundingRect(text).width()});
    }
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.currentText = combo->currentText();
    return combo->style()
        ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(widest, metrics.height()), combo)
        .width();
}

} // namespace

void fitCombosToOptions(const QList<QComboBox*>& combos, int room)
{
    QList<int> widths;
    QList<int> least;
    for (const QComboBox* combo : combos) {
        widths.append(optionsWidth(combo, 0, combo->count() - 1));
        least.append(optionsWidth(combo, 0, 0));
    }
    const auto total = [](const QList<int>& list) {
        return std::accumulate(list.cbegin(), list.cend(), 0);
    };
    if (room > 0 && total(widths) > room && total(least) <= room) {
        // One cap for all: the widest come down to it first.
        const QList<int> widest = widths;
        for (int cap = *std::max_element(widest.cbegin(), widest.cend()); total(widths) > room; --cap) {
            for (qsizetype i = 0; i < widths.size(); ++i)
                widths[i] = std::max(least.at(i), std::min(widest.at(i), cap));
        }
    }
    for (qsizetype i = 0; i < combos.size(); ++i) {
        combos.at(i)->setFixedWidth(widths.at(i));
        combos.at(i)->view()->setMinimumWidth(combos.at(i)->view()->sizeHintForColumn(0));
    }
}

} // namespace orvalink::ui
