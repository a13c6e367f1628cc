#include "ui/widgets/ComboOptions.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>

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

void fitComboToCurrentText(QComboBox* combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.currentText = combo->currentText();
    const QFontMetrics metrics = combo->fontMetrics();
    // The wider of the text's advance and its ink, so no glyph touches the arrow.
    const QSize text(std::max(metrics.horizontalAdvance(combo->currentText()),
                              metrics.boundingRect(combo->currentText()).width()),
                     metrics.height());
    const int width = combo->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, combo).width();
    combo->setFixedWidth(width);
    // The open menu is as wide as its longest option.
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0));
}

} // namespace orvalink::ui
