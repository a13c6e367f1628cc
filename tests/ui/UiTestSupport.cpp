#include "UiTestSupport.h"

#include "ui/widgets/LayoutSettling.h"
#include "ui/widgets/Motion.h"
#include "ui/widgets/TextStyles.h"

#include <QApplication>
#include <QDir>
#include <QImageWriter>
#include <QSaveFile>
#include <QWidget>

namespace orvalink::test {

void prepareWidgetTests()
{
    ui::useApplicationFontFamilies();
    ui::setAnimationsEnabled(false);
}

QImage renderOffscreen(QWidget* widget, QSize size)
{
    widget->setAttribute(Qt::WA_DontShowOnScreen);
    widget->resize(size.isValid() ? size : widget->sizeHint());
    widget->show();
    ui::settleLayouts(*widget);
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QString saveScreen(const QImage& image, const QString& name)
{
    const QString dir = QStringLiteral(ORVALINK_SCREENS_DIR);
    if (!QDir().mkpath(dir))
        return {};
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&file, "png");
    if (!writer.write(image) || !file.commit())
        return {};
    return path;
}

int firstOpaqueColumn(const QImage& image, int y, int threshold)
{
    for (int x = 0; x < image.width(); ++x) {
        if (qAlpha(image.pixel(x, y)) > threshold)
            return x;
    }
    return -1;
}

} // namespace orvalink::test
