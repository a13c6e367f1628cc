// The directory list's model: what it tells a view when the listing, the focus and the sizes change,
// and the row inputs it reads from its source.
#include "FakeDirectoryListSource.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/DirectoryRowLayout.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace orvalink;
using namespace orvalink::ui;
using namespace orvalink::ui::test;
using namespace std::chrono_literals;

namespace {

QList<DirectoryEntry> numberedEntries(int count)
{
    QList<DirectoryEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.append(makeEntry(QStringLiteral("item-%1").arg(i),
                                 i % 2 ? EntryKind::file : EntryKind::directory, qint64(i) * 1000));
    return entries;
}

// The rows named by each dataChanged emission, as "top-bottom".
QStringList changedRows(const QSignalSpy& spy)
{
    QStringList rows;
    for (const QList<QVariant>& arguments : spy)
        rows.append(QStringLiteral("%1-%2")
                        .arg(arguments.at(0).toModelIndex().row())
                        .arg(arguments.at(1).toModelIndex().row()));
    return rows;
}

} // namespace

class DirectoryListModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void staysConsistentThroughChanges();
    void focusMoveRepaintsTwoRows_data();
    void focusMoveRepaintsTwoRows();
    void sizeUpdatesAreMergedPerInterval();
    void resetDropsPendingSizeUpdate();
    void rowsShrinkingBeforeResetReadEmpty();
    void rowInputsComeFromSource();
    void badges_data();
    void badges();
    void actionsReachSourceWithEntry();
};

void DirectoryListModelTest::staysConsistentThroughChanges()
{
    FakeDirectoryListSource source;
    source.entries = numberedEntries(20);
    DirectoryListModel model(source);
    model.setSizeUpdateInterval(1ms);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    source.focused = source.entries.at(3).path;
    model.syncFocus();
    source.entries = numberedEntries(5);
    model.resetListing();
    QCOMPARE(model.rowCount(), 5);
    source.entries[2].sizeBytes = 99;
    model.noteSizesChanged();
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(changed.wait());
    source.entries.clear();
    model.resetListing();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.syncFocus(), -1);
}

void DirectoryListModelTest::focusMoveRepaintsTwoRows_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<bool>("afterReset");
    for (const bool reset : {false, true}) {
        const char* when = reset ? ", after a new listing" : "";
        QTest::addRow("next row%s", when) << 4 << 5 << QStringList{"4-4", "5-5"} << reset;
        QTest::addRow("previous row%s", when) << 4 << 3 << QStringList{"4-4", "3-3"} << reset;
        QTest::addRow("far away%s", when) << 1 << 90 << QStringList{"1-1", "90-90"} << reset;
        QTest::addRow("unchanged%s", when) << 4 << 4 << QStringList{} << reset;
        QTest::addRow("from nothing%s", when) << -1 << 7 << QStringList{"7-7"} << reset;
        QTest::addRow("to nothing%s", when) << 7 << -1 << QStringList{"7-7"} << reset;
    }
}

void DirectoryListModelTest::focusMoveRepaintsTwoRows()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, rows);
    QFETCH(bool, afterReset);
    FakeDirectoryListSource source;
    source.entries = numberedEntries(100);
    DirectoryListModel model(source);
    auto focusOn = [&](int row) {
        source.focused = row < 0 ? std::nullopt : std::optional(source.entries.at(row).path);
        return model.syncFocus();
    };
    QCOMPARE(focusOn(from), from);
    if (afterReset) {
        // The same folder listed again, in reverse and back: the rows are repainted as the source
        // has them, and the next move must still clear the row painted as focused.
        std::reverse(source.entries.begin(), source.entries.end());
        model.resetListing();
        std::reverse(source.entries.begin(), source.entries.end());
        model.resetListing();
    }

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QCOMPARE(focusOn(to), to);
    QCOMPARE(changedRows(changed), rows);
    for (const QList<QVariant>& arguments : changed)
        QCOMPARE(arguments.at(2).value<QList<int>>(), QList<int>{DirectoryListModel::IsFocusedRole});
    QCOMPARE(model.index(to < 0 ? from : to).data(DirectoryListModel::IsFocusedRole).toBool(), to >= 0);
    if (from >= 0 && from != to)
        QVERIFY(!model.index(from).data(DirectoryListModel::IsFocusedRole).toBool());

    // Asking again without a move repaints nothing.
    changed.clear();
    model.syncFocus();
    QCOMPARE(changed.count(), 0);
}

void DirectoryListModelTest::sizeUpdatesAreMergedPerInterval()
{
    FakeDirectoryListSource source;
    source.entries = numberedEntries(50);
    DirectoryListModel model(source);
    model.setSizeUpdateInterval(40ms);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    for (int i = 0; i < 30; ++i) {
        source.entries[i].sizeBytes = 5 * 1024 * 1024;
        model.noteSizesChanged();
    }
    QCOMPARE(changed.count(), 0);
    QVERIFY(changed.wait());
    QCOMPARE(changedRows(changed), QStringList{"0-49"});
    const auto roles = changed.at(0).at(2).value<QList<int>>();
    QVERIFY(roles.contains(DirectoryListModel::SizeTextRole));
    QCOMPARE(model.index(7).data(DirectoryListModel::SizeTextRole).toString(), QStringLiteral("5.00 MB"));

    // Nothing more arrives without a new update; a later update gives one more signal.
    QVERIFY(!changed.wait(120));
    model.noteSizesChanged();
    model.noteSizesChanged();
    QVERIFY(changed.wait());
    QVERIFY(!changed.wait(120));
    QCOMPARE(changed.count(), 2);
}

void DirectoryListModelTest::resetDropsPendingSizeUpdate()
{
    FakeDirectoryListSource source;
    source.entries = numberedEntries(10);
    DirectoryListModel model(source);
    model.setSizeUpdateInterval(20ms);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.noteSizesChanged();
    source.entries = numberedEntries(3);
    model.resetListing();
    QVERIFY(!changed.wait(150));
    QCOMPARE(reset.count(), 1);

    // An update that arrives with a different count (the owner forgot the reset) resets instead of
    // announcing rows that are no longer there.
    model.noteSizesChanged();
    source.entries = numberedEntries(8);
    QTRY_COMPARE(reset.count(), 2);
    QCOMPARE(model.rowCount(), 8);
    QCOMPARE(changed.count(), 0);
}

void DirectoryListModelTest::rowsShrinkingBeforeResetReadEmpty()
{
    FakeDirectoryListSource source;
    source.entries = numberedEntries(10);
    DirectoryListModel model(source);
    const QModelIndex last = model.index(9);
    source.entries = numberedEntries(4);
    QVERIFY(!last.data(Qt::DisplayRole).isValid());
    model.focusRow(9);
    model.openRow(9);
    QVERIFY(source.calls.isEmpty());
}

void DirectoryListModelTest::rowInputsComeFromSource()
{
    FakeDirectoryListSource source;
    source.entries = {makeEntry("Movies", EntryKind::directory, 3 * 1024),
                      makeEntry("a.txt", EntryKind::file, 12)};
    const QString movies = source.entries.at(0).path;
    source.selected = {movies};
    source.recommendations.insert(movies, {QStringLiteral("Use Symlink"), false});
    DirectoryListModel model(source);

    const QModelIndex first = model.index(0);
    const QModelIndex second = model.index(1);
    QCOMPARE(first.data(Qt::DisplayRole).toString(), QStringLiteral("Movies"));
    QCOMPARE(first.data(DirectoryListModel::SizeTextRole).toString(), QStringLiteral("3.00 KB"));
    QCOMPARE(second.data(DirectoryListModel::SizeTextRole).toString(), QStringLiteral("12 B"));
    QVERIFY(first.data(DirectoryListModel::IsDirectoryRole).toBool());
    QVERIFY(!second.data(DirectoryListModel::IsDirectoryRole).toBool());
    QVERIFY(first.data(DirectoryListModel::IsSelectedRole).toBool());
    QVERIFY(!second.data(DirectoryListModel::IsSelectedRole).toBool());
    QCOMPARE(first.data(DirectoryListModel::RecommendationTextRole).toString(),
             QStringLiteral("Use Symlink"));
    QVERIFY(!second.data(DirectoryListModel::RecommendationTextRole).isValid());
    QVERIFY(!first.data(DirectoryListModel::HintTextRole).isValid());
    QVERIFY(!first.data(DirectoryListModel::IsFocusedRole).toBool());

    // A language change reaches the rows through one signal for all of them.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    source.words.openButton = QStringLiteral("进入 Open");
    model.refreshRowInputs();
    QCOMPARE(changedRows(changed), QStringList{"0-1"});
    QCOMPARE(first.data(DirectoryListModel::OpenTextRole).toString(), QStringLiteral("进入 Open"));
}

void DirectoryListModelTest::badges_data()
{
    QTest::addColumn<bool>("symbolicLink");
    QTest::addColumn<bool>("aliasFile");
    QTest::addColumn<bool>("hasRecommendation");
    QTest::addColumn<bool>("recommendsAlias");
    QTest::addColumn<bool>("hasHint");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("plain, nothing") << false << false << false << false << false << QStringList{};
    QTest::newRow("symlink recommended, hint")
        << false << false << true << false << true << QStringList{"green:Use Symlink", "teal:Smart"};
    QTest::newRow("alias recommended")
        << false << false << true << true << false << QStringList{"blue:Use Alias"};
    QTest::newRow("hint only") << false << false << false << false << true << QStringList{"teal:Smart"};
    QTest::newRow("symbolic link with every text")
        << true << false << true << true << true << QStringList{"orange:Migrated"};
    QTest::newRow("alias file with every text")
        << false << true << true << false << true << QStringList{"orange:Migrated"};
}

void DirectoryListModelTest::badges()
{
    QFETCH(bool, symbolicLink);
    QFETCH(bool, aliasFile);
    QFETCH(bool, hasRecommendation);
    QFETCH(bool, recommendsAlias);
    QFETCH(bool, hasHint);
    QFETCH(QStringList, expected);
    FakeDirectoryListSource source;
    DirectoryEntry entry = makeEntry("Projects", EntryKind::directory, 0, symbolicLink);
    entry.isAliasFile = aliasFile;
    source.entries = {entry};
    if (hasRecommendation)
        source.recommendations.insert(entry.path,
                                      {recommendsAlias ? "Use Alias" : "Use Symlink", recommendsAlias});
    if (hasHint)
        source.hints.insert(entry.path, QStringLiteral("Smart"));
    DirectoryListModel model(source);

    const QHash<DirectoryRowBadge::Kind, QString> colours{
        {DirectoryRowBadge::Kind::migrated, "orange"},
        {DirectoryRowBadge::Kind::recommendation, "green"},
        {DirectoryRowBadge::Kind::aliasRecommendation, "blue"},
        {DirectoryRowBadge::Kind::hint, "teal"}};
    // Wide enough for every badge: the layout shows what the rule gives.
    const DirectoryRowLayout layout =
        DirectoryRowLayout::compute(QRect(0, 0, 900, 28), model.index(0), QFont());
    QStringList badges;
    for (const DirectoryRowBadge& badge : layout.badges)
        badges.append(colours.value(badge.kind) + ':' + badge.text);
    QCOMPARE(badges, expected);
}

void DirectoryListModelTest::actionsReachSourceWithEntry()
{
    FakeDirectoryListSource source;
    source.entries = {makeEntry("Movies", EntryKind::directory), makeEntry("a.txt", EntryKind::file)};
    const QString movies = source.entries.at(0).path;
    const QString file = source.entries.at(1).path;
    DirectoryListModel model(source);
    model.openRow(1); // a file does not open
    model.openRow(0);
    model.openContainingDirectory(1);
    model.revealRow(0);
    model.setRowSelected(1, true);
    QCOMPARE(source.calls, (QStringList{"open:" + movies, "openContaining:" + file, "reveal:" + movies,
                                        "select:" + file + ":1"}));
}

QTEST_MAIN(DirectoryListModelTest)
#include "tst_directorylistmodel.moc"
