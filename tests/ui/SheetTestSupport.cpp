#include "SheetTestSupport.h"

#include "UiTestSupport.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QScrollArea>

namespace orvalink::test {

QString saveSheetScreen(QWidget* sheet, const QString& name, int width)
{
    sheet->setAttribute(Qt::WA_DontShowOnScreen);
    sheet->resize(width, 760);
    sheet->show();
    QApplication::processEvents();
    auto* scroll = sheet->findChild<QScrollArea*>();
    QWidget* content = scroll ? scroll->widget() : sheet;
    content->adjustSize();
    content->resize(scroll ? scroll->viewport()->width() : width, content->heightForWidth(width) > 0
                                                                      ? content->heightForWidth(width)
                                                                      : content->sizeHint().height());
    QApplication::processEvents();
    QImage image(content->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(sheet->palette().color(QPalette::Window));
    content->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return saveScreen(image, name);
}

QStringList visibleLabelTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>()) {
        if (label->isVisibleTo(root->window()) && !label->text().isEmpty())
            texts.append(label->text());
    }
    return texts;
}

} // namespace orvalink::test
