#include "model/OrvalinkError.h"
#include "viewmodel/disk/FailureRemedy.h"

#include <QTest>

using namespace orvalink;

Q_DECLARE_METATYPE(orvalink::FailureRemedy)
Q_DECLARE_METATYPE(std::optional<QString>)

// The remedy the window offers for a failed migration, from the error the engine recorded: an
// occupied target or a source that came back after the move may be migrated by force, a source held
// by processes may be retried after ending them, anything else only has its folders to open.
class FailureRemedyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void byErrorCase_data()
    {
        QTest::addColumn<int>("errorCase");
        QTest::addColumn<FailureRemedy>("remedy");
        using Case = OrvalinkError::Case;
        for (int value = 0; value < int(Case::caseCount); ++value) {
            const auto errorCase = Case(value);
            FailureRemedy remedy = FailureRemedy::none;
            if (errorCase == Case::targetAlreadyExists || errorCase == Case::sourceOccupiedAfterMove)
                remedy = FailureRemedy::forceMigration;
            else if (errorCase == Case::sourceInUse)
                remedy = FailureRemedy::terminateHoldersAndRetry;
            QTest::addRow("%s", qPrintable(OrvalinkError::codeOf(errorCase))) << value << remedy;
        }
    }

    void byErrorCase()
    {
        QFETCH(int, errorCase);
        FailedMigrationRecord record;
        record.errorCode = OrvalinkError::codeOf(OrvalinkError::Case(errorCase));
        QTEST(failureRemedy(record), "remedy");
    }

    // The codes the engine writes are the ones the remedy reads.
    void codesOfRaisedErrors_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<FailureRemedy>("remedy");
        QTest::newRow("target exists")
            << OrvalinkError::targetAlreadyExists("/t").code() << FailureRemedy::forceMigration;
        QTest::newRow("source occupied after move")
            << OrvalinkError::sourceOccupiedAfterMove("/s").code() << FailureRemedy::forceMigration;
        QTest::newRow("source in use")
            << OrvalinkError::sourceInUse("/s", {"vim"}).code() << FailureRemedy::terminateHoldersAndRetry;
        QTest::newRow("verify failed") << OrvalinkError::verifyFailed("/s").code() << FailureRemedy::none;
    }

    void codesOfRaisedErrors()
    {
        QFETCH(QString, code);
        QCOMPARE(code.size(), 4);
        FailedMigrationRecord record;
        record.errorCode = code;
        QTEST(failureRemedy(record), "remedy");
    }

    // The comparison is exact: a code that only looks alike has no remedy.
    void otherCodes_data()
    {
        QTest::addColumn<std::optional<QString>>("code");
        QTest::newRow("none") << std::optional<QString>();
        QTest::newRow("empty") << std::optional<QString>(QString());
        QTest::newRow("lower case") << std::optional<QString>("e004");
        QTest::newRow("padded") << std::optional<QString>(" E007");
        QTest::newRow("message text") << std::optional<QString>("E004: target exists");
        QTest::newRow("unknown") << std::optional<QString>("E099");
    }

    void otherCodes()
    {
        QFETCH(std::optional<QString>, code);
        FailedMigrationRecord record;
        record.errorCode = code;
        record.errorMessage = "E004 E007 E018";
        QCOMPARE(failureRemedy(record), FailureRemedy::none);
    }
};

QTEST_GUILESS_MAIN(FailureRemedyTest)
#include "tst_failureremedy.moc"
