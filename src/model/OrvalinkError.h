#pragma once

#include "model/CopyShortfall.h"

#include <QString>
#include <QStringList>
#include <exception>
#include <optional>

namespace orvalink {

// The error of the disk operations, the history and the cloud-snapshot restore: twenty cases
// with fixed codes "E001" to "E020" and fixed English descriptions. The code is what the history
// stores for a failed task, so each case keeps its code for good, whatever the order of the enum:
// the code table in OrvalinkError.cpp is the only place that turns one into the other.
class OrvalinkError : public std::exception {
public:
    enum class Case {
        targetVolumeNotMounted,
        insufficientSpace,
        permissionDenied,
        targetAlreadyExists,
        sourceNotFound,
        parentChildConflict,
        sourceInUse,
        moveFailed,
        verifyFailed,
        symlinkFailed,
        rollbackFailed,
        disallowedPath,
        invalidAnchor,
        undoTargetNotFound,
        undoSourceOccupied,
        undoMappingBroken,
        cloudSnapshotDeviceMismatch,
        sourceOccupiedAfterMove,
        undoTargetUnverified,
        historyNotWritten,
        // Not a case: the number of cases, which the code table is checked against at compile
        // time. New cases go above it.
        caseCount,
    };

    // What an underlying platform error contributes: its description and errno (0 when it has none).
    struct Underlying {
        QString description;
        int errorNumber = 0;
        bool isPermissionError = false;
        // The wrapped error itself, when there was one, so that what kind of failure it was (a
        // refused administrator command, say) is not lost in the wrap.
        std::exception_ptr error;
    };

    // The operation a sourceInUse error kept from going ahead: its description says which.
    enum class Operation { migration, undo };

    static OrvalinkError targetVolumeNotMounted();
    static OrvalinkError insufficientSpace(qint64 required, qint64 available);
    static OrvalinkError permissionDenied(const QString& path);
    static OrvalinkError targetAlreadyExists(const QString& path);
    static OrvalinkError sourceNotFound(const QString& path);
    static OrvalinkError parentChildConflict(const QString& parent, const QString& child);
    static OrvalinkError sourceInUse(const QString& path, const QStringList& processes,
                                     Operation operation = Operation::migration);
    static OrvalinkError moveFailed(const QString& source, const QString& destination, Underlying underlying);
    // A move refused because its copy would hold less than the source (see CopyShortfall): a
    // moveFailed, whose underlying description is the shortfall's, so the history and other devices
    // read it as any failed move.
    static OrvalinkError copyFallsShort(const QString& source, const QString& destination,
                                        const CopyShortfall& shortfall);
    static OrvalinkError verifyFailed(const QString& path);
    static OrvalinkError symlinkFailed(const QString& source, const QString& destination,
                                       Underlying underlying);
    static OrvalinkError rollbackFailed(const QString& path, Underlying underlying);
    static OrvalinkError disallowedPath(const QString& path);
    static OrvalinkError invalidAnchor(const QString& anchorUser, const QString& sourcePath);
    static OrvalinkError undoTargetNotFound();
    static OrvalinkError undoSourceOccupied(const QString& path);
    static OrvalinkError undoMappingBroken(const QString& path);
    static OrvalinkError cloudSnapshotDeviceMismatch(const QString& expected, const QString& actual);
    static OrvalinkError sourceOccupiedAfterMove(const QString& path);
    // An undo refused before it changed anything: what the record names at `targetPath` could not
    // be confirmed as the item its migration made (`reason` says why, in the log's words).
    static OrvalinkError undoTargetUnverified(const QString& targetPath, const QString& reason);
    // A migration's record could not be written to the history file at `path` (a full or read-only
    // disk): the migration is taken back, as nothing in the window would lead to its data.
    static OrvalinkError historyNotWritten(const QString& path, Underlying underlying);

    Case errorCase() const { return m_case; }
    // "E" and three digits.
    QString code() const { return codeOf(m_case); }
    static QString codeOf(Case errorCase);
    // The case whose code is exactly `code`; none for any other text (another case, padding, a
    // message that starts with a code).
    static std::optional<Case> caseOfCode(QStringView code);
    // The English message of the case; never empty.
    QString errorDescription() const;
    const char* what() const noexcept override { return m_what.constData(); }

    // Payload fields; empty when the case carries no such field.
    const QString& path() const { return m_path; }
    const QString& source() const { return m_source; }
    const QString& destination() const { return m_destination; }
    const QString& parent() const { return m_parent; }
    const QString& child() const { return m_child; }
    const QStringList& processes() const { return m_processes; }
    const QString& anchorUser() const { return m_anchorUser; }
    const QString& sourcePath() const { return m_sourcePath; }
    const QString& expected() const { return m_expected; }
    const QString& actual() const { return m_actual; }
    const QString& reason() const { return m_reason; }
    qint64 required() const { return m_required; }
    qint64 available() const { return m_available; }
    const Underlying& underlying() const { return m_underlying; }
    // A migration for every case but sourceInUse, which says whether it stopped a migration or an undo.
    Operation operation() const { return m_operation; }
    // Why a copy fell short, for a moveFailed made by copyFallsShort.
    const std::optional<CopyShortfall>& shortfall() const { return m_shortfall; }

private:
    explicit OrvalinkError(Case errorCase) : m_case(errorCase) {}
    static OrvalinkError withPath(Case errorCase, const QString& path);
    OrvalinkError& finish();

    Case m_case;
    QString m_path, m_source, m_destination, m_parent, m_child, m_anchorUser, m_sourcePath, m_expected,
        m_actual, m_reason;
    QStringList m_processes;
    qint64 m_required = 0;
    qint64 m_available = 0;
    Underlying m_underlying;
    Operation m_operation = Operation::migration;
    std::optional<CopyShortfall> m_shortfall;
    QByteArray m_what;
};

} // namespace orvalink
