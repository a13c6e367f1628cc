// The directory list as a user drives it: clicks on the parts of a row, the keyboard, the context
// menu; and screenshots of populated lists in each language.
#include "FakeDirectoryListSource.h"
#include "UiTestSupport.h"
#include "ui/models/DirectoryIconCache.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/DirectoryListView.h"
#include "ui/views/sidebar/DirectoryRowLayout.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <memory>

using namespace orvalink;
using namespace orvalink::ui;
using namespace orvalink::ui::test;

namespace {

// Plain drawn stand-ins for the window's folder and file symbols.
QIcon drawnIcon(const QColor& colour, bool folder)
{
    QPixmap pixmap(36, 36);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(130));
    painter.setBrush(colour);
    painter.drawRoundedRect(folder ? QRectF(3, 8, 30, 22) : QRectF(8, 3, 20, 30), 3, 3);
    return QIcon(pixmap);
}

struct Texts {
    DirectoryListTexts words;
    QString symlink;
    QString alias;
    QString hint;
};

Texts textsIn(const QString& language)
{
    const bool zh = language != QLatin1String("en");
    const bool en = language != QLatin1String("zh");
    auto pick = [&](const char* chinese, const char* english) {
        const QString c = QString::fromUtf8(chinese);
        const QString e = QString::fromUtf8(english);
        return zh && en ? c + ' ' + e : (zh ? c : e);
    };
    return {{pick("已迁移", "Migrated"), pick("进入", "Open"), pick("进入该目录", "Open in Sidebar"),
             pick("在文件管理器中显示", "Reveal in File Manager")},
            pick("建议符号链接", "Use Symlink"),
            pick("建议别名", "Use Alias"),
            pick("智能推荐", "Smart Pick")};
}

} // namespace

class DirectoryListViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void checkboxAsksSourceAndShowsItsAnswer_data();
    void checkboxAsksSourceAndShowsItsAnswer();
    void clickOnRowFocusesWithoutTicking();
    void openLinkOpensDirectory();
    void doubleClick_data();
    void doubleClick();
    void arrowsMoveFocusAndScroll();
    void takingTheFocusKeepsTheScroll_data();
    void takingTheFocusKeepsTheScroll();
    void leftRightAndReturnAreConsumed_data();
    void leftRightAndReturnAreConsumed();
    void contextMenuActsOnClickedRow();
    void theFocusRingFollowsAWheelScroll_data();
    void theFocusRingFollowsAWheelScroll();
    void screenshots_data();
    void screenshots();

private:
    QPoint pointOf(int row, const std::function<QRect(const DirectoryRowLayout&)>& part) const;
    void populate(const QString& language);

    std::unique_ptr<FakeDirectoryListSource> m_source;
    std::unique_ptr<DirectoryIconCache> m_icons;
    std::unique_ptr<DirectoryListModel> m_model;
    std::unique_ptr<DirectoryListView> m_view;
};

void DirectoryListViewTest::initTestCase()
{
    orvalink::test::prepareWidgetTests();
}

void DirectoryListViewTest::init()
{
    m_source = std::make_unique<FakeDirectoryListSource>();
    populate(QStringLiteral("en"));
    m_icons = std::make_unique<DirectoryIconCache>(drawnIcon(QColor(90, 160, 230), true),
                                                   drawnIcon(QColor(200, 200, 210), false));
    m_model = std::make_unique<DirectoryListModel>(*m_source, m_icons.get());
    m_view = std::make_unique<DirectoryListView>(m_model.get());
    m_view->resize(560, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void DirectoryListViewTest::cleanup()
{
    m_view.reset();
    m_model.reset();
    m_icons.reset();
    m_source.reset();
}

void DirectoryListViewTest::populate(const QString& language)
{
    const Texts texts = textsIn(language);
    FakeDirectoryListSource& source = *m_source;
    source.words = texts.words;
    source.entries = {
        makeEntry("Movies", EntryKind::directory, qint64(48) << 30),
        makeEntry("Projects", EntryKind::directory, qint64(312) << 20, true),
        makeEntry(QStringLiteral("照片备份 2023"), EntryKind::directory, qint64(7) << 30),
        makeEntry("Library Caches", EntryKind::directory, qint64(1536) << 20),
        makeEntry("holiday-video-final-cut-2024-with-a-very-long-name.mp4", EntryKind::file, qint64(3) << 30),
        makeEntry(QStringLiteral("会议记录.txt"), EntryKind::file, 12800),
        makeEntry("notes.md", EntryKind::file, 512),
    };
    for (int i = 0; i < 40; ++i)
        source.entries.append(makeEntry(QStringLiteral("file-%1.dat").arg(i), EntryKind::file, i * 1000));
    const auto path = [&](int row) {
        return source.entries.at(row).path;
    };
    source.recommendations = {
        {path(0), {texts.symlink, false}}, {path(1), {texts.symlink, false}}, {path(2), {texts.alias, true}}};
    source.hints = {{path(1), texts.hint}, {path(3), texts.hint}};
    source.selected = {path(3)};
    source.focused = path(2);
}

QPoint DirectoryListViewTest::pointOf(int row,
                                      const std::function<QRect(const DirectoryRowLayout&)>& part) const
{
    const QModelIndex index = m_model->index(row);
    return part(DirectoryRowLayout::compute(m_view->visualRect(index), index, m_view->font())).center();
}

void DirectoryListViewTest::checkboxAsksSourceAndShowsItsAnswer_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("accepts");
    QTest::addColumn<bool>("shownAfter");
    QTest::newRow("tick") << 0 << true << true;
    QTest::newRow("untick") << 3 << true << false;
    QTest::newRow("tick refused") << 0 << false << false;
    QTest::newRow("untick refused") << 3 << false << true;
}

void DirectoryListViewTest::checkboxAsksSourceAndShowsItsAnswer()
{
    QFETCH(int, row);
    QFETCH(bool, accepts);
    QFETCH(bool, shownAfter);
    m_source->acceptsSelection = accepts;
    const bool before = m_model->index(row).data(DirectoryListModel::IsSelectedRole).toBool();
    const QString focusBefore = *m_source->focused;

    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {},
                      pointOf(row, [](const DirectoryRowLayout& l) { return l.checkbox; }));
    const QString path = m_source->entries.at(row).path;
    QCOMPARE(m_source->calls, QStringList{QStringLiteral("select:%1:%2").arg(path).arg(!before)});
    QCOMPARE(m_model->index(row).data(DirectoryListModel::IsSelectedRole).toBool(), shownAfter);
    QCOMPARE(*m_source->focused, focusBefore); // ticking does not move the focus
}

void DirectoryListViewTest::clickOnRowFocusesWithoutTicking()
{
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {},
                      pointOf(5, [](const DirectoryRowLayout& l) { return l.name; }));
    const QString path = m_source->entries.at(5).path;
    QCOMPARE(m_source->calls, QStringList{"focus:" + path});
    QVERIFY(m_model->index(5).data(DirectoryListModel::IsFocusedRole).toBool());
    QVERIFY(!m_model->index(2).data(DirectoryListModel::IsFocusedRole).toBool());
    QVERIFY(!m_source->selected.contains(path));
}

void DirectoryListViewTest::openLinkOpensDirectory()
{
    const QModelIndex file = m_model->index(4);
    QVERIFY(DirectoryRowLayout::compute(m_view->visualRect(file), file, m_view->font()).open.isEmpty());
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {},
                      pointOf(0, [](const DirectoryRowLayout& l) { return l.open; }));
    QTRY_COMPARE(m_source->calls, QStringList{"open:" + m_source->entries.at(0).path});
}

void DirectoryListViewTest::doubleClick_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("opens");
    QTest::newRow("directory") << 3 << true;
    QTest::newRow("file") << 5 << false;
}

void DirectoryListViewTest::doubleClick()
{
    QFETCH(int, row);
    QFETCH(bool, opens);
    const QString path = m_source->entries.at(row).path;
    // What a window system delivers for a double click: press, release, double click, release.
    QWidget* viewport = m_view->viewport();
    const QPoint at = pointOf(row, [](const DirectoryRowLayout& l) { return l.name; });
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    if (opens)
        QTRY_VERIFY(m_source->calls.contains("open:" + path));
    // Let any queued action run before judging that nothing opened.
    QCoreApplication::processEvents();
    QCOMPARE(m_source->calls.contains("open:" + path), opens);
    QCOMPARE(m_source->calls.filter("open:").size(), opens ? 1 : 0);
    QCOMPARE(*m_source->focused, path);
}

void DirectoryListViewTest::arrowsMoveFocusAndScroll()
{
    m_view->setFocus();
    const QString start = *m_source->focused;
    QTest::keyClick(m_view.get(), Qt::Key_Up);
    QCOMPARE(*m_source->focused, m_source->entries.at(1).path);
    QVERIFY(m_model->index(1).data(DirectoryListModel::IsFocusedRole).toBool());
    QVERIFY(!m_model->index(2).data(DirectoryListModel::IsFocusedRole).toBool());
    QTest::keyClick(m_view.get(), Qt::Key_Down);
    QCOMPARE(*m_source->focused, start);

    // Walking past the visible rows scrolls the focused row into view.
    const int target = 30;
    QVERIFY(!m_view->viewport()->rect().contains(m_view->visualRect(m_model->index(target))));
    for (int row = 2; row < target; ++row)
        QTest::keyClick(m_view.get(), Qt::Key_Down);
    QCOMPARE(*m_source->focused, m_source->entries.at(target).path);
    QVERIFY(m_view->viewport()->rect().contains(m_view->visualRect(m_model->index(target))));
}

void DirectoryListViewTest::takingTheFocusKeepsTheScroll_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click on a name") << QStringLiteral("name");
    QTest::newRow("click on a checkbox") << QStringLiteral("checkbox");
    QTest::newRow("tab") << QStringLiteral("tab");
    QTest::newRow("refresh without the focused entry") << QStringLiteral("refresh");
    QTest::newRow("new order, the focused entry out of view") << QStringLiteral("reorder");
    QTest::newRow("new order, the focused entry cut at the top") << QStringLiteral("cut top");
    QTest::newRow("new order, no keyboard focus, the focused entry cut") << QStringLiteral("cut bottom");
}

// Scrolled down with no row focused, the list keeps its place as it takes the keyboard focus: a
// click acts on the row under the pointer, the keyboard finds a focused row it can see whole, and a
// listing read again without the focused entry, or in an order that puts it out of view or cuts it
// (its whole neighbour takes the focus, with the keyboard focus or without), stays where it was.
void DirectoryListViewTest::takingTheFocusKeepsTheScroll()
{
    QFETCH(QString, how);
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    m_view->clearFocus();
    const int rowHeight = DirectoryRowLayout::rowHeight;
    m_view->verticalScrollBar()->setValue(m_view->verticalScrollBar()->maximum() / 2 / rowHeight * rowHeight +
                                          rowHeight / 2);
    const int scrolled = m_view->verticalScrollBar()->value();
    QVERIFY(scrolled > 0);
    const QModelIndex middle = m_view->indexAt(m_view->viewport()->rect().center());
    QVERIFY(middle.row() > 10);
    const QString path = m_source->entries.at(middle.row()).path;
    const auto seen = [this](const std::optional<QString>& focused) {
        const int row = focused ? m_source->rowOf(*focused) : -1;
        return row >= 0 && m_view->viewport()->rect().contains(m_view->visualRect(m_model->index(row)));
    };
    m_source->focused.reset();
    m_model->resetListing();
    QCOMPARE(m_view->verticalScrollBar()->value(), scrolled);
    m_source->calls.clear();

    if (how == QLatin1String("name") || how == QLatin1String("checkbox")) {
        const bool box = how == QLatin1String("checkbox");
        QTest::mouseClick(
            m_view->viewport(), Qt::LeftButton, {},
            pointOf(middle.row(), [box](const DirectoryRowLayout& l) { return box ? l.checkbox : l.name; }));
        QVERIFY(m_view->hasFocus());
        QCOMPARE(m_source->calls,
                 QStringList{box ? QStringLiteral("select:%1:1").arg(path) : "focus:" + path});
    } else if (how == QLatin1String("tab")) {
        m_view->setFocus(Qt::TabFocusReason);
        QVERIFY(seen(m_source->focused));
    } else if (how.startsWith(QLatin1String("cut"))) {
        const bool atTop = how == QLatin1String("cut top");
        if (atTop)
            m_view->setFocus(Qt::TabFocusReason);
        const QRect shown = m_view->viewport()->rect();
        const int cut = m_view->indexAt(atTop ? shown.topLeft() : shown.bottomLeft()).row();
        QVERIFY(!shown.contains(m_view->visualRect(m_model->index(cut))));
        m_source->focused = path;
        m_source->entries.move(middle.row(), cut);
        m_model->resetListing();
        QCOMPARE(m_source->focused, m_source->entries.at(cut + (atTop ? 1 : -1)).path);
    } else {
        m_view->setFocus(Qt::TabFocusReason);
        m_source->focused = path;
        if (how == QLatin1String("refresh"))
            m_source->entries.removeAt(middle.row());
        else
            m_source->entries.move(middle.row(), m_source->entries.size() - 1);
        m_model->resetListing();
        QVERIFY(seen(m_source->focused));
        QVERIFY(m_source->focused != path);
    }
    QCoreApplication::processEvents();
    QCOMPARE(m_view->verticalScrollBar()->value(), scrolled);
    QVERIFY(
        !orvalink::test::saveScreen(m_view->grab().toImage(),
                                    QStringLiteral("directory-list-takes-focus-") + QTest::currentDataTag())
             .isEmpty());
}

void DirectoryListViewTest::leftRightAndReturnAreConsumed_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("left") << int(Qt::Key_Left) << true << QStringList{};
    QTest::newRow("right") << int(Qt::Key_Right) << true << QStringList{};
    QTest::newRow("return") << int(Qt::Key_Return) << true << QStringList{"openFocused"};
    QTest::newRow("enter") << int(Qt::Key_Enter) << true << QStringList{"openFocused"};
    QTest::newRow("return, nothing focused") << int(Qt::Key_Return) << false << QStringList{"openFocused"};
}

void DirectoryListViewTest::leftRightAndReturnAreConsumed()
{
    QFETCH(int, key);
    QFETCH(bool, focused);
    QFETCH(QStringList, calls);
    if (!focused)
        m_source->focused.reset();
    const std::optional<QString> focusBefore = m_source->focused;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    press.ignore();
    QApplication::sendEvent(m_view.get(), &press);
    QVERIFY(press.isAccepted());
    QCOMPARE(m_source->calls, calls);
    QCOMPARE(m_source->focused, focusBefore);
}

void DirectoryListViewTest::contextMenuActsOnClickedRow()
{
    const QPoint at = pointOf(5, [](const DirectoryRowLayout& l) { return l.name; });
    Q_EMIT m_view->customContextMenuRequested(at);
    QMenu* menu = m_view->contextMenu();
    QVERIFY(menu);
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions.at(0)->text(), m_source->words.openContainingDirectory);
    QCOMPARE(actions.at(1)->text(), m_source->words.revealInFileManager);
    actions.at(0)->trigger();
    actions.at(1)->trigger();
    const QString path = m_source->entries.at(5).path;
    QCOMPARE(m_source->calls, (QStringList{"openContaining:" + path, "reveal:" + path}));

    // A menu opened on a listing that has since been replaced does nothing.
    m_source->calls.clear();
    Q_EMIT m_view->customContextMenuRequested(at);
    QAction* stale = m_view->contextMenu()->actions().at(1);
    m_model->resetListing();
    stale->trigger();
    QVERIFY(m_source->calls.isEmpty());
}

void DirectoryListViewTest::theFocusRingFollowsAWheelScroll_data()
{
    QTest::addColumn<QSize>("size");
    // The list's size in the window on a laptop's screen and on a desktop's.
    QTest::newRow("1366x768") << QSize(737, 245);
    QTest::newRow("1920x1080") << QSize(1047, 590);
}

// The wheel scrolls the focused list: what the window shows afterwards is what the list paints
// anew, with the focus ring only along the edges of the list (no copies of it scrolled along with
// the rows).
void DirectoryListViewTest::theFocusRingFollowsAWheelScroll()
{
    QFETCH(QSize, size);
    for (int i = 40; i < 120; ++i)
        m_source->entries.append(makeEntry(QStringLiteral("file-%1.dat").arg(i), EntryKind::file, i * 1000));
    m_model->resetListing();
    m_view->resize(size);
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    m_view->setFocus(Qt::TabFocusReason);
    QVERIFY(m_view->hasFocus());
    QWidget* viewport = m_view->viewport();
    const QRect shown(viewport->mapTo(m_view.get(), QPoint(0, 0)), viewport->size());
    // What the window holds: what was painted and scrolled there, not a new rendering.
    const auto onScreen = [this, &shown] {
        QCoreApplication::processEvents();
        return m_view->screen()->grabWindow(m_view->winId()).toImage().copy(shown);
    };
    const auto repainted = [this, &shown] {
        return m_view->grab().toImage().copy(shown).convertToFormat(QImage::Format_RGB32);
    };
    QCOMPARE(onScreen().convertToFormat(QImage::Format_RGB32), repainted());

    for (int step = 0; step < 6; ++step) {
        const QPointF at = QRectF(viewport->rect()).center();
        QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        QCoreApplication::processEvents();
    }
    QVERIFY(m_view->verticalScrollBar()->value() > 0);
    const QImage screen = onScreen().convertToFormat(QImage::Format_RGB32);
    QVERIFY(
        !orvalink::test::saveScreen(screen, QStringLiteral("directory-list-wheel-") + QTest::currentDataTag())
             .isEmpty());
    QCOMPARE(screen, repainted());
}

void DirectoryListViewTest::screenshots_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("width");
    QTest::newRow("en") << QStringLiteral("en") << 640;
    QTest::newRow("zh") << QStringLiteral("zh") << 640;
    QTest::newRow("bilingual") << QStringLiteral("bilingual") << 640;
    QTest::newRow("bilingual-narrow") << QStringLiteral("bilingual") << 380;
}

void DirectoryListViewTest::screenshots()
{
    QFETCH(QString, language);
    QFETCH(int, width);
    populate(language);
    m_model->resetListing();
    m_view->resize(width, 260);
    QCoreApplication::processEvents();
    QImage image(m_view->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    m_view->render(&image);
    QVERIFY(
        !orvalink::test::saveScreen(image, QStringLiteral("directory-list-%1").arg(QTest::currentDataTag()))
             .isEmpty());

    // The focused row carries the tinted background: its left edge differs from a plain row's.
    const int focusedY = m_view->visualRect(m_model->index(2)).center().y();
    const int plainY = m_view->visualRect(m_model->index(0)).center().y();
    const QPoint origin = m_view->viewport()->mapTo(m_view.get(), QPoint(6, 0));
    QVERIFY(image.pixel(origin.x(), origin.y() + focusedY) != image.pixel(origin.x(), origin.y() + plainY));
}

QTEST_MAIN(DirectoryListViewTest)
#include "tst_directorylistview.moc"
