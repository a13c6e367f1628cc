#include "diskops/Rollback.h"

#include "diskops/ErrorDetails.h"
#include "diskops/FallbackFileOperations.h"
#include "diskops/OperationJournal.h"
#include "diskops/PlaceholderTest.h"
#include "diskops/ReservedPaths.h"
#include "diskops/SiblingRestore.h"
#include "platform/FileIO.h"
#include "store/LogService.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRollback, "orvalink.diskops.rollback")

namespace orvalink {

namespace {

OrvalinkError rollbackError(const QString& path, const QString& description)
{
    return OrvalinkError::rollbackFailed(path, {description, 0, false, {}});
}

} // namespace

RollbackOutcome MigrationRollback::rollback(const QString& sourcePath, const QString& targetPath,
                                            const std::optional<QString>& stagingPath,
                                            OperationJournal* journal) const
{
    if (sourcePath.isEmpty() || targetPath.isEmpty())
        throw rollbackError(sourcePath, QStringLiteral("Invalid rollback paths"));

    RollbackOutcome outcome;
    if (platform::entryExists(sourcePath)) {
        if (isPlaceholder(sourcePath)) {
            try {
                m_files.removePlaceholder(sourcePath);
            } catch (const std::exception& error) {
                throw OrvalinkError::rollbackFailed(sourcePath, underlyingOf(error));
            }
        } else {
            outcome.preservedConflictPath = preserveRollbackConflict(sourcePath);
        }
    }

    if (stagingPath && platform::entryExists(*stagingPath)) {
        // The staged item never reached the target, so what stands there is not ours: keep it.
        if (platform::entryExists(targetPath)) {
            try {
                outcome.preservedTargetConflictPath = preserveRollbackConflict(targetPath);
            } catch (const OrvalinkError& error) {
                // It is in nobody's way where it stands; bringing the data home matters more.
                qCWarning(lcRollback) << error.errorDescription();
            }
        }
        m_files.move(*stagingPath, sourcePath);
    } else if (platform::entryExists(targetPath)) {
        // Only the item this migration put at the target goes back: the record knows which it is.
        if (!journal)
            throw rollbackError(sourcePath, QStringLiteral("No record tells which item at the target is the "
                                                           "migrated one"));
        QStringList ours{journal->record().targetIdentity, journal->record().itemIdentity};
        ours.removeAll(QString());
        const RestoredLeftovers left = restoreThroughSibling(m_files, *journal, ours);
        outcome.leftoverTargetPaths = left.changedPaths;
        outcome.leftCopyPaths = left.copyPaths;
        outcome.copyFailure = left.copyFailure;
        reportLeftovers(sourcePath, targetPath, outcome);
    } else {
        throw rollbackError(sourcePath, QStringLiteral("Target path missing during rollback"));
    }
    return outcome;
}

void MigrationRollback::reportLeftovers(const QString& sourcePath, const QString& targetPath,
                                        const RollbackOutcome& outcome) const
{
    const QString rolledBack = QStringLiteral("Rollback of ") + sourcePath + QStringLiteral(": ");
    if (!outcome.leftoverTargetPaths.isEmpty())
        m_log.append(LogLevel::warning, rolledBack + QStringLiteral("what was written to ") + targetPath +
                                            QStringLiteral(" meanwhile stayed there: ") +
                                            outcome.leftoverTargetPaths.join(QStringLiteral(", ")));
    if (!outcome.leftCopyPaths.isEmpty())
        m_log.append(LogLevel::warning,
                     rolledBack + QStringLiteral("copies that could not be removed stayed at ") + targetPath +
                         QStringLiteral(" (") + outcome.copyFailure + QStringLiteral("): ") +
                         outcome.leftCopyPaths.join(QStringLiteral(", ")));
}

QString MigrationRollback::preserveRollbackConflict(const QString& path) const
{
    const QString reserved = makeReservedPath(path, ReservedSuffix::rollbackConflict);
    try {
        m_files.move(path, reserved);
    } catch (const std::exception& error) {
        throw rollbackError(path, QStringLiteral("Source path was recreated during rollback and could not be "
                                                 "preserved: ") +
                                      underlyingOf(error).description);
    }
    m_log.append(LogLevel::warning, QStringLiteral("Rollback preserved conflict path: ") + path +
                                        QStringLiteral(" -> ") + reserved);
    return reserved;
}

QString asSentence(const QString& text)
{
    // A system's error text ("No space left on device: /path") ends without a full stop; the
    // description of a case of ours ends with one.
    static const QString ends = QStringLiteral(".!?。");
    if (text.isEmpty() || ends.contains(text.back()))
        return text;
    return text + QLatin1Char('.');
}

QString rollbackMessage(const OrvalinkError& error, bool rollbackSucceeded,
                        const std::optional<RollbackOutcome>& outcome)
{
    if (!rollbackSucceeded)
        return error.errorDescription();
    QString message = asSentence(error.errorDescription());
    if (outcome && outcome->preservedConflictPath) {
        message +=
            QStringLiteral(" Original data was restored, and any newly recreated files were preserved at: ") +
            *outcome->preservedConflictPath + QLatin1Char('.');
    } else {
        message += QStringLiteral(" Original data was restored to its previous location.");
    }
    if (outcome && outcome->preservedTargetConflictPath) {
        message += QStringLiteral(" What stood at the target path was preserved at: ") +
                   *outcome->preservedTargetConflictPath + QLatin1Char('.');
    }
    if (outcome && !outcome->leftoverTargetPaths.isEmpty()) {
        message += QStringLiteral(" Files written to the target meanwhile stayed there: ") +
                   outcome->leftoverTargetPaths.join(QStringLiteral(", ")) + QLatin1Char('.');
    }
    if (outcome && !outcome->olderVersionPaths.isEmpty()) {
        message +=
            QStringLiteral(" What changed while it was copied took its place; the versions it replaced "
                           "were kept at: ") +
            outcome->olderVersionPaths.join(QStringLiteral(", ")) + QLatin1Char('.');
    }
    if (outcome && outcome->stillChangingPath) {
        message += QStringLiteral(" What changed while it was copied stayed at: ") +
                   *outcome->stillChangingPath + QLatin1Char('.');
    }
    if (outcome && !outcome->leftCopyPaths.isEmpty()) {
        message += QStringLiteral(" Copies that could not be removed stayed on the external disk: ") +
                   outcome->leftCopyPaths.join(QStringLiteral(", ")) + QStringLiteral(" (") +
                   outcome->copyFailure + QStringLiteral(").");
    }
    return message;
}

} // namespace orvalink
