#include "viewmodel/flow/FlowTicket.h"

#include <QTest>
#include <memory>

using namespace orvalink;

// What a flow may rely on after each co_await: a ticket is current only while its series has not
// moved on, alive only while its source neither retired nor went away.
class FlowTicketTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lifecycle_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("alive");
        QTest::addColumn<bool>("current");
        QTest::newRow("untouched") << "none" << true << true;
        QTest::newRow("series moved on") << "advance" << true << false;
        QTest::newRow("source retired") << "retire" << false << false;
        QTest::newRow("source destroyed") << "destroy" << false << false;
    }

    void lifecycle()
    {
        QFETCH(QString, step);
        QFETCH(bool, alive);
        QFETCH(bool, current);
        auto source = std::make_unique<FlowTicketSource>();
        source->advance();
        const FlowTicket ticket = source->ticket();
        QCOMPARE(ticket.number(), quint64(1));
        if (step == "advance")
            source->advance();
        else if (step == "retire")
            source->retire();
        else if (step == "destroy")
            source.reset();
        QCOMPARE(ticket.isAlive(), alive);
        QCOMPARE(ticket.isCurrent(), current);
    }

    // A flow started after the owner closed must stop at once, and the series keeps its number.
    void ticketsAfterRetirementAreStale()
    {
        FlowTicketSource source;
        source.advance();
        source.advance();
        source.retire();
        QVERIFY(source.isRetired());
        QCOMPARE(source.number(), quint64(2));
        QVERIFY(!source.ticket().isAlive());
        QVERIFY(!source.advance().isCurrent());
        QVERIFY(!FlowTicket().isAlive());
    }
};

QTEST_GUILESS_MAIN(FlowTicketTest)
#include "tst_flowticket.moc"
