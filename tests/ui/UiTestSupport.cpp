#include "UiTestSupport.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/detail/RecordListView.h"
#include "ui/widgets/CaptchaImage.h"
#include "ui/widgets/LayoutSettling.h"
#include "ui/widgets/Motion.h"
#include "ui/widgets/TextStyles.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFontDatabase>
#include <QImageWriter>
#include <QInputMethodEvent>
#include <QMenu>
#include <QSaveFile>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace orvalink::test {

void prepareWidgetTests()
{
    ui::useApplicationFontFamilies();
    ui::setAnimationsEnabled(false);
}

std::optional<QString> missingPinnedFonts()
{
    const QStringList families = QFontDatabase::families();
    for (const char* family : {"Noto Sans", "Noto Sans CJK SC", "DejaVu Sans Mono"}) {
        if (!families.contains(QLatin1String(family)))
            return QStringLiteral("the font \"%1\" that scripts/install-deps.sh installs is missing")
                .arg(QLatin1String(family));
    }
    if (!qEnvironmentVariableIsSet("FONTCONFIG_FILE"))
        return QStringLiteral("run through ctest, which pins the fonts with FONTCONFIG_FILE");
    return std::nullopt;
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

bool settleCaptchas(QWidget* root)
{
    constexpr int kGuardMilliseconds = 20000;
    QList<ui::CaptchaImage*> captchas = root->findChildren<ui::CaptchaImage*>();
    if (auto* self = qobject_cast<ui::CaptchaImage*>(root))
        captchas.append(self);
    return QTest::qWaitFor(
        [&] {
            return std::none_of(captchas.cbegin(), captchas.cend(),
                                [](const ui::CaptchaImage* captcha) { return captcha->isDecoding(); });
        },
        kGuardMilliseconds);
}

void settleWindow(QWidget& window)
{
    for (int round = 0; round < 3; ++round) {
        ui::RefreshScheduler::flushAll(&window);
        ui::settleLayouts(window);
        QCoreApplication::processEvents();
    }
}

bool movePointerTo(QWidget* widget)
{
    QWindow* handle = widget->window()->windowHandle();
    const QPoint point = widget->mapTo(widget->window(), widget->rect().center());
    if (!handle || !widget->window()->rect().contains(point))
        return false;
    QTest::mouseMove(handle, point);
    QCoreApplication::processEvents();
    return true;
}

QChar ideographMissingFrom(const QString& path)
{
    QChar rare(0x4e00);
    while (path.contains(rare))
        rare = QChar(rare.unicode() + 1);
    return rare;
}

void commitTyped(QWidget* widget, const QString& text)
{
    QInputMethodEvent typed;
    typed.setCommitString(text);
    QApplication::sendEvent(widget, &typed);
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

namespace {

QList<ui::RecordListView*> recordLists(const QWidget& root, const QString& listName)
{
    QList<ui::RecordListView*> lists = root.findChildren<ui::RecordListView*>();
    if (!listName.isEmpty())
        lists.removeIf(
            [&listName](const ui::RecordListView* list) { return list->objectName() != listName; });
    return lists;
}

} // namespace

QList<ui::RecordRowPart> recordParts(const QWidget& root, const QString& listName, int row)
{
    QList<ui::RecordRowPart> parts;
    for (ui::RecordListView* list : recordLists(root, listName)) {
        const int rows = list->model()->rowCount();
        for (int shown = 0; shown < rows; ++shown) {
            if (row < 0 || shown == row)
                parts.append(list->rowLayout(shown).parts);
        }
    }
    return parts;
}

ui::RecordRowPart recordPart(const QWidget& root, const QString& listName, int row, const QString& name)
{
    for (const ui::RecordRowPart& part : recordParts(root, listName, row)) {
        if (part.name == name)
            return part;
    }
    return {};
}

bool clickRecordPart(const QWidget& root, const QString& listName, int row, const QString& name)
{
    const QList<ui::RecordListView*> lists = recordLists(root, listName);
    const ui::RecordRowPart part = recordPart(root, listName, row, name);
    if (lists.size() != 1 || part.name.isEmpty())
        return false;
    QTest::mouseClick(lists.first()->viewport(), Qt::LeftButton, {}, part.rect.center());
    return true;
}

QMenu* recordPartMenu(const QWidget& root, const QString& listName, int row, const QString& name)
{
    const QList<ui::RecordListView*> lists = recordLists(root, listName);
    const ui::RecordRowPart part = recordPart(root, listName, row, name);
    if (lists.size() != 1 || part.name.isEmpty())
        return nullptr;
    QWidget* viewport = lists.first()->viewport();
    const QPoint at = part.rect.center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    for (QMenu* menu : lists.first()->findChildren<QMenu*>()) {
        if (menu->isVisible())
            return menu;
    }
    return nullptr;
}

} // namespace orvalink::test
