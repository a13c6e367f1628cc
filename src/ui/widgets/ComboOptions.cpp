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

struct OptionWidths {
    int first = 0;  // what the first option needs to show whole
    int widest = 0; // what every option needs
};

OptionWidths optionWidths(const QComboBox* combo)
{
    const QFontMetrics metrics = combo->fontMetrics();
    OptionWidths texts;
    for (int i = 0; i < combo->count(); ++i) {
        const QString text = combo->itemText(i);
        // The wider of the text's advance and its ink, so no glyph touches the arrow.
        const int width = std::max(metrics.horizontalAdvance(text), metrics.boundingRect(text).width());
        if (i == 0)
            texts.first = width;
        texts.widest = std::max(texts.widest, width);
    }
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.currentText = combo->currentText();
    const auto around = [&](int textWidth) {
        return combo->style()
            ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(textWidth, metrics.height()), combo)
            .width();
    };
    return {around(texts.first), around(texts.widest)};
}

} // namespace

void fitCombosToOptions(const QList<QComboBox*>& combos, int room)
{
    QList<int> widths;
    QList<int> least;
    for (const QComboBox* combo : combos) {
        const OptionWidths needed = optionWidths(combo);
        widths.append(needed.widest);
        least.append(needed.first);
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
