#include "ui/widgets/KeyedWidgets.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

using namespace orvalink::ui;

namespace {

struct Row {
    QString key;
    QString text;
};

} // namespace

class KeyedWidgetsTest : public QObject {
    Q_OBJECT

private:
    struct Fixture {
        QWidget host;
        QVBoxLayout* layout = new QVBoxLayout(&host);
        QLabel* title = new QLabel(QStringLiteral("title"));
        KeyedWidgets<QLabel> rows;
        int made = 0;
        bool changed = false;

        Fixture()
        {
            layout->addWidget(title);
            layout->addStretch(1);
            rows.attach(layout, 1);
        }

        const QList<QLabel*>& sync(const QList<Row>& items)
        {
            changed = rows.sync(
                items, [](const Row& row) { return row.key; },
                [this](const Row&) {
                    ++made;
                    return new QLabel(&host);
                },
                [](QLabel* label, const Row& row) { label->setText(row.text); });
            return rows.widgets();
        }

        // The texts of the layout's items between the title and the stretch, as laid out.
        QStringList laidOut() const
        {
            QStringList texts;
            for (int index = 1; index < layout->count() - 1; ++index)
                texts.append(qobject_cast<QLabel*>(layout->itemAt(index)->widget())->text());
            return texts;
        }
    };

private Q_SLOTS:
    void keptKeysKeepTheirWidgets_data()
    {
        QTest::addColumn<QList<Row>>("before");
        QTest::addColumn<QList<Row>>("after");
        QTest::addColumn<int>("newlyMade");
        QTest::addColumn<bool>("changed"); // a widget made, gone or moved

        const Row a{QStringLiteral("a"), QStringLiteral("A")};
        const Row b{QStringLiteral("b"), QStringLiteral("B")};
        const Row c{QStringLiteral("c"), QStringLiteral("C")};
        const Row b2{QStringLiteral("b"), QStringLiteral("B changed")};
        QTest::newRow("unchanged") << QList<Row>{a, b, c} << QList<Row>{a, b, c} << 0 << false;
        QTest::newRow("prepended") << QList<Row>{b, c} << QList<Row>{a, b, c} << 1 << true;
        QTest::newRow("middle removed") << QList<Row>{a, b, c} << QList<Row>{a, c} << 0 << true;
        QTest::newRow("reversed") << QList<Row>{a, b, c} << QList<Row>{c, b, a} << 0 << true;
        QTest::newRow("updated in place") << QList<Row>{a, b, c} << QList<Row>{a, b2, c} << 0 << false;
        QTest::newRow("all replaced") << QList<Row>{a, b} << QList<Row>{c} << 1 << true;
        QTest::newRow("emptied") << QList<Row>{a, b} << QList<Row>{} << 0 << true;
        QTest::newRow("duplicate key") << QList<Row>{a} << QList<Row>{a, a} << 1 << true;
    }

    void keptKeysKeepTheirWidgets()
    {
        QFETCH(QList<Row>, before);
        QFETCH(QList<Row>, after);
        QFETCH(int, newlyMade);

        Fixture fixture;
        const QList<QLabel*> first = fixture.sync(before);
        QHash<QString, QPointer<QLabel>> byKey;
        for (qsizetype index = 0; index < before.size(); ++index)
            byKey.insert(before.at(index).key, first.at(index));
        fixture.made = 0;

        const QList<QLabel*> second = fixture.sync(after);
        QCOMPARE(fixture.made, newlyMade);
        QTEST(fixture.changed, "changed");
        QStringList expected;
        for (const Row& row : after)
            expected.append(row.text);
        QCOMPARE(fixture.laidOut(), expected);
        QCOMPARE(second.size(), after.size());
        // The first widget of each key that stays is the one made before.
        QSet<QString> seen;
        for (qsizetype index = 0; index < after.size(); ++index) {
            const QString& key = after.at(index).key;
            if (byKey.contains(key) && !seen.contains(key))
                QCOMPARE(second.at(index), byKey.value(key).data());
            seen.insert(key);
        }
        QCOMPARE(fixture.layout->itemAt(0)->widget(), fixture.title);
        QVERIFY(fixture.layout->itemAt(fixture.layout->count() - 1)->spacerItem());

        // Widgets of keys that went are gone once the event loop has run, and only those.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (auto it = byKey.cbegin(); it != byKey.cend(); ++it)
            QCOMPARE(it.value().isNull(), !seen.contains(it.key()));
    }

    void aGoneWidgetOutlivesTheCallThatRemovedIt()
    {
        Fixture fixture;
        QPointer<QLabel> clicked = fixture.sync({{QStringLiteral("a"), QStringLiteral("A")}}).first();
        fixture.sync({});
        // Still there for the handler that asked for the change, but out of sight and of the layout.
        QVERIFY(!clicked.isNull());
        QVERIFY(clicked->isHidden());
        QCOMPARE(fixture.layout->indexOf(clicked.data()), -1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(clicked.isNull());
    }
};

QTEST_MAIN(KeyedWidgetsTest)
#include "tst_keyedwidgets.moc"
