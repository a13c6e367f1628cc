#include "diskops/OperationRecovery.h"

#include "diskops/InterruptedOperation.h"
#include "diskops/MigrationRecovery.h"
#include "diskops/PrivilegeFallback.h"
#include "diskops/RecordedPlaces.h"
#include "diskops/RecordedTaskIds.h"
#include "diskops/UndoRecovery.h"
#include "model/JsonFields.h"
#include "store/LogService.h"

#include <QJsonObject>

namespace orvalink {

namespace {

RecoveredOperation setAsideAnswer(const QString& recordPath)
{
    RecoveredOperation answer;
    answer.outcome = RecoveredOperation::Outcome::setAside;
    answer.recordPath = recordPath;
    return answer;
}

// Read without taking the record over: an operation still at work keeps its record, and the rest
// wait for the start. An unreadable record is accepted by no filter: a start sets it aside.
QJsonObject recordFields(const QString& recordPath)
{
    try {
        return json::parseObject(OperationJournal::readRecordFile(recordPath));
    } catch (const std::exception&) {
        return QJsonObject();
    }
}

bool isMigration(const QJsonObject& fields)
{
    return fields.value(QStringLiteral("kind")).toString() == journalKindText(JournalKind::migration);
}

bool waitsForHistory(const QString& recordPath)
{
    return recordFields(recordPath).value(QStringLiteral("historyPending")).toBool();
}

} // namespace

OperationRecovery::OperationRecovery(LogService& log, const VolumeService& volumes)
    : m_log(log), m_volumes(volumes)
{}

QList<RecoveredOperation> OperationRecovery::recoverInterruptedOperations(const Starting& starting) const
{
    return recover([](const QString&) { return true; }, starting);
}

QList<RecoveredOperation> OperationRecovery::recordWaitingHistories() const
{
    return recover(waitsForHistory);
}

QList<RecoveredOperation> OperationRecovery::finishMigrationOf(const QUuid& mappingID) const
{
    return recover([&](const QString& path) {
        const QJsonObject fields = recordFields(path);
        return isMigration(fields) &&
               QUuid(fields.value(QStringLiteral("mappingID")).toString()) == mappingID;
    });
}

QList<RecoveredOperation> OperationRecovery::finishTakenBackMigrationsAt(const QString& sourcePath) const
{
    return recover([&](const QString& path) {
        const QJsonObject fields = recordFields(path);
        return isMigration(fields) && fields.value(QStringLiteral("settled")).toBool() &&
               fields.value(QStringLiteral("sourcePath")).toString() == sourcePath;
    });
}

QList<RecoveredOperation> OperationRecovery::recover(const std::function<bool(const QString&)>& which,
                                                     const Starting& starting) const
{
    QList<RecoveredOperation> recovered;
    RecordedTaskIds tasks;
    for (const QString& path : OperationJournal::recordPaths()) {
        if (!which(path))
            continue;
        std::optional<OperationJournal> journal;
        try {
            journal = OperationJournal::claim(path);
        } catch (const UnreadableJournal& error) {
            m_log.append(LogLevel::error,
                         QStringLiteral("Unreadable record of an interrupted operation set aside, "
                                        "nothing was changed: ") +
                             error.setAsidePath() + QStringLiteral(" (") + QString::fromUtf8(error.what()) +
                             QLatin1Char(')'));
            recovered.append(setAsideAnswer(error.setAsidePath()));
            continue;
        } catch (const std::exception& error) {
            m_log.append(LogLevel::error,
                         QStringLiteral("Record of an interrupted operation left as found: ") + path +
                             QStringLiteral(" (") + QString::fromUtf8(error.what()) + QLatin1Char(')'));
            RecoveredOperation locked;
            locked.foundPaths = {path};
            recovered.append(locked);
            continue;
        }
        if (!journal)
            continue; // its process is still at work, or it has just ended
        const JournalRecord record = journal->record();
        InterruptedOperation operation(*journal, m_log, m_volumes, tasks);
        std::optional<QString> problem;
        try {
            problem = recordProblem(record);
        } catch (const std::exception& error) {
            // The places could not be looked at now; the record is tried again at the next start.
            recovered.append(operation.leaveAsFound(QString::fromUtf8(error.what())));
            continue;
        }
        if (problem) {
            RecoveredOperation answer = setAsideAnswer(journal->setAside());
            answer.kind = record.kind;
            answer.sourcePath = record.sourcePath;
            answer.targetPath = record.targetPath;
            // Nothing is touched, but the user is told where the data may be (a staging folder or a
            // restore sibling beside the source is hidden).
            answer.foundPaths = InterruptedOperation::foundPaths(record);
            m_log.append(LogLevel::error,
                         QStringLiteral("Record of an interrupted operation set aside, nothing "
                                        "was changed (") +
                             *problem + QStringLiteral("): ") + answer.recordPath);
            recovered.append(answer);
            continue;
        }
        if (starting)
            starting(record);
        try {
            switch (record.kind) {
            case JournalKind::migration:
                recovered.append(recoverMigration(operation));
                break;
            case JournalKind::undo:
                recovered.append(recoverUndo(operation));
                break;
            }
        } catch (const std::exception& error) {
            RecoveredOperation left = operation.leaveAsFound(QString::fromUtf8(error.what()));
            left.needsAdministrator = shouldUsePrivilegeFallback(error);
            recovered.append(left);
        }
    }
    return recovered;
}

QStringList OperationRecovery::pendingSourcePaths()
{
    QStringList sources;
    for (const QString& path : OperationJournal::recordPaths()) {
        try {
            sources.append(
                json::requireString(json::parseObject(OperationJournal::readRecordFile(path)), "sourcePath"));
        } catch (const std::exception&) {
            // Told about once it is looked at properly.
        }
    }
    sources.removeDuplicates();
    return sources;
}

} // namespace orvalink
