#include "model/OrvalinkError.h"

#include "platform/StandardPath.h"
#include "platform/UserLocations.h"

#include <algorithm>
#include <array>
#include <optional>

namespace orvalink {

namespace {

using Case = OrvalinkError::Case;

struct CodeEntry {
    Case errorCase;
    const char* code;
};

// The stored code of every case. Saved task records carry these texts, so an entry never changes
// and a new case takes the next free number.
constexpr auto kCodes = std::to_array<CodeEntry>({
    {Case::targetVolumeNotMounted, "E001"},
    {Case::insufficientSpace, "E002"},
    {Case::permissionDenied, "E003"},
    {Case::targetAlreadyExists, "E004"},
    {Case::sourceNotFound, "E005"},
    {Case::parentChildConflict, "E006"},
    {Case::sourceInUse, "E007"},
    {Case::moveFailed, "E008"},
    {Case::verifyFailed, "E009"},
    {Case::symlinkFailed, "E010"},
    {Case::rollbackFailed, "E011"},
    {Case::disallowedPath, "E012"},
    {Case::invalidAnchor, "E013"},
    {Case::undoTargetNotFound, "E014"},
    {Case::undoSourceOccupied, "E015"},
    {Case::undoMappingBroken, "E016"},
    {Case::cloudSnapshotDeviceMismatch, "E017"},
    {Case::sourceOccupiedAfterMove, "E018"},
    {Case::undoTargetUnverified, "E019"},
    {Case::historyNotWritten, "E020"},
});
static_assert(kCodes.size() == static_cast<std::size_t>(Case::caseCount),
              "every error case needs its stored code in the table");

constexpr bool sameText(const char* a, const char* b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

constexpr bool listsEveryCaseOnce()
{
    for (std::size_t value = 0; value < kCodes.size(); ++value) {
        const auto found = std::count_if(kCodes.begin(), kCodes.end(), [&](const CodeEntry& entry) {
            return static_cast<std::size_t>(entry.errorCase) == value;
        });
        if (found != 1)
            return false;
    }
    return true;
}
static_assert(listsEveryCaseOnce(), "every error case needs exactly one stored code");

constexpr bool codesDiffer()
{
    for (std::size_t i = 0; i < kCodes.size(); ++i) {
        for (std::size_t j = i + 1; j < kCodes.size(); ++j) {
            if (sameText(kCodes[i].code, kCodes[j].code))
                return false;
        }
    }
    return true;
}
static_assert(codesDiffer(), "two error cases must never share a stored code");

// Sandboxed application data lives under these folders; migrating one of their roots breaks the
// owning application, so the refusal explains what can be moved instead.
std::optional<QString> managedContainerGuidance(const QString& path)
{
    const QString standard = platform::standardizedPath(path);
    const QString home = platform::standardizedPath(platform::homeDirectory());
    for (const char* folder : {"/Library/Containers", "/Library/Group Containers"}) {
        if (standard.startsWith(home + QLatin1String(folder) + QLatin1Char('/'))) {
            return QStringLiteral("App sandbox container roots cannot be migrated directly: ") + standard +
                   QStringLiteral(
                       ". Restore it first if needed, then only migrate deeper data folders such as "
                       "Data/Documents or app-specific media caches.");
        }
    }
    return std::nullopt;
}

QString sourceInUseText(const QString& path, const QStringList& processes, OrvalinkError::Operation operation)
{
    const QString opening = operation == OrvalinkError::Operation::undo
                                ? QStringLiteral("Cannot undo the migration of ")
                                : QStringLiteral("Cannot migrate ");
    if (processes.isEmpty()) {
        return opening + path +
               QStringLiteral(
                   " because it is currently in use. Close the related app or shell session first.");
    }
    QString list = processes.mid(0, 5).join(QStringLiteral(", "));
    if (processes.size() >= 6)
        list += QStringLiteral(" and %1 more process(es)").arg(processes.size() - 5);
    return opening + path + QStringLiteral(" because it is currently in use by: ") + list +
           QStringLiteral(". Close them first.");
}

} // namespace

OrvalinkError OrvalinkError::withPath(Case errorCase, const QString& path)
{
    OrvalinkError error(errorCase);
    error.m_path = path;
    return error.finish();
}

OrvalinkError& OrvalinkError::finish()
{
    m_what = (code() + QStringLiteral(": ") + errorDescription()).toUtf8();
    return *this;
}

OrvalinkError OrvalinkError::targetVolumeNotMounted()
{
    return OrvalinkError(Case::targetVolumeNotMounted).finish();
}

OrvalinkError OrvalinkError::insufficientSpace(qint64 required, qint64 available)
{
    OrvalinkError error(Case::insufficientSpace);
    error.m_required = required;
    error.m_available = available;
    return error.finish();
}

OrvalinkError OrvalinkError::permissionDenied(const QString& path)
{
    return withPath(Case::permissionDenied, path);
}

OrvalinkError OrvalinkError::targetAlreadyExists(const QString& path)
{
    return withPath(Case::targetAlreadyExists, path);
}

OrvalinkError OrvalinkError::sourceNotFound(const QString& path)
{
    return withPath(Case::sourceNotFound, path);
}

OrvalinkError OrvalinkError::parentChildConflict(const QString& parent, const QString& child)
{
    OrvalinkError error(Case::parentChildConflict);
    error.m_parent = parent;
    error.m_child = child;
    return error.finish();
}

OrvalinkError OrvalinkError::sourceInUse(const QString& path, const QStringList& processes,
                                         Operation operation)
{
    OrvalinkError error(Case::sourceInUse);
    error.m_path = path;
    error.m_processes = processes;
    error.m_operation = operation;
    return error.finish();
}

OrvalinkError OrvalinkError::moveFailed(const QString& source, const QString& destination,
                                        Underlying underlying)
{
    OrvalinkError error(Case::moveFailed);
    error.m_source = source;
    error.m_destination = destination;
    error.m_underlying = std::move(underlying);
    return error.finish();
}

OrvalinkError OrvalinkError::copyFallsShort(const QString& source, const QString& destination,
                                            const CopyShortfall& shortfall)
{
    OrvalinkError error = moveFailed(source, destination, {shortfall.description(), 0, false, {}});
    error.m_shortfall = shortfall;
    return error;
}

OrvalinkError OrvalinkError::verifyFailed(const QString& path)
{
    return withPath(Case::verifyFailed, path);
}

OrvalinkError OrvalinkError::symlinkFailed(const QString& source, const QString& destination,
                                           Underlying underlying)
{
    OrvalinkError error(Case::symlinkFailed);
    error.m_source = source;
    error.m_destination = destination;
    error.m_underlying = std::move(underlying);
    return error.finish();
}

OrvalinkError OrvalinkError::rollbackFailed(const QString& path, Underlying underlying)
{
    OrvalinkError error(Case::rollbackFailed);
    error.m_path = path;
    error.m_underlying = std::move(underlying);
    return error.finish();
}

OrvalinkError OrvalinkError::disallowedPath(const QString& path)
{
    return withPath(Case::disallowedPath, path);
}

OrvalinkError OrvalinkError::invalidAnchor(const QString& anchorUser, const QString& sourcePath)
{
    OrvalinkError error(Case::invalidAnchor);
    error.m_anchorUser = anchorUser;
    error.m_sourcePath = sourcePath;
    return error.finish();
}

OrvalinkError OrvalinkError::undoTargetNotFound()
{
    return OrvalinkError(Case::undoTargetNotFound).finish();
}

OrvalinkError OrvalinkError::undoSourceOccupied(const QString& path)
{
    return withPath(Case::undoSourceOccupied, path);
}

OrvalinkError OrvalinkError::undoMappingBroken(const QString& path)
{
    return withPath(Case::undoMappingBroken, path);
}

OrvalinkError OrvalinkError::cloudSnapshotDeviceMismatch(const QString& expected, const QString& actual)
{
    OrvalinkError error(Case::cloudSnapshotDeviceMismatch);
    error.m_expected = expected;
    error.m_actual = actual;
    return error.finish();
}

OrvalinkError OrvalinkError::sourceOccupiedAfterMove(const QString& path)
{
    return withPath(Case::sourceOccupiedAfterMove, path);
}

OrvalinkError OrvalinkError::undoTargetUnverified(const QString& targetPath, const QString& reason)
{
    OrvalinkError error(Case::undoTargetUnverified);
    error.m_path = targetPath;
    error.m_reason = reason;
    return error.finish();
}

OrvalinkError OrvalinkError::historyNotWritten(const QString& path, Underlying underlying)
{
    OrvalinkError error(Case::historyNotWritten);
    error.m_path = path;
    error.m_underlying = std::move(underlying);
    return error.finish();
}

QString OrvalinkError::codeOf(Case errorCase)
{
    const auto found = std::find_if(kCodes.begin(), kCodes.end(),
                                    [&](const CodeEntry& entry) { return entry.errorCase == errorCase; });
    // Only the count, which is no case, has no entry.
    if (found == kCodes.end())
        return QString();
    return QLatin1String(found->code);
}

std::optional<OrvalinkError::Case> OrvalinkError::caseOfCode(QStringView code)
{
    const auto found = std::find_if(kCodes.begin(), kCodes.end(), [&](const CodeEntry& entry) {
        return code == QLatin1String(entry.code);
    });
    if (found == kCodes.end())
        return std::nullopt;
    return found->errorCase;
}

QString OrvalinkError::errorDescription() const
{
    const QString dot = QStringLiteral(".");
    switch (m_case) {
    case Case::targetVolumeNotMounted:
        return QStringLiteral("Target volume is not mounted.");
    case Case::insufficientSpace:
        return QStringLiteral("Insufficient space. Required: %1, available: %2.")
            .arg(m_required)
            .arg(m_available);
    case Case::permissionDenied:
        return QStringLiteral("Permission denied: ") + m_path + dot;
    case Case::targetAlreadyExists:
        return QStringLiteral("Target path already exists: ") + m_path + dot;
    case Case::sourceNotFound:
        return QStringLiteral("Source path not found: ") + m_path + dot;
    case Case::parentChildConflict:
        return QStringLiteral("Selected directories include a parent-child conflict: ") + m_parent +
               QStringLiteral(" -> ") + m_child + dot;
    case Case::sourceInUse:
        return sourceInUseText(m_path, m_processes, m_operation);
    case Case::moveFailed:
        return QStringLiteral("Failed to move ") + m_source + QStringLiteral(" to ") + m_destination +
               QStringLiteral(": ") + m_underlying.description;
    case Case::verifyFailed:
        return QStringLiteral("Verification failed for: ") + m_path + dot;
    case Case::symlinkFailed:
        return QStringLiteral("Failed to create symlink ") + m_source + QStringLiteral(" -> ") +
               m_destination + QStringLiteral(": ") + m_underlying.description;
    case Case::rollbackFailed:
        return QStringLiteral("Rollback failed for ") + m_path + QStringLiteral(": ") +
               m_underlying.description;
    case Case::disallowedPath:
        return managedContainerGuidance(m_path).value_or(QStringLiteral("Disallowed path: ") + m_path + dot);
    case Case::invalidAnchor:
        return QStringLiteral("Invalid source path for user ") + m_anchorUser + QStringLiteral(": ") +
               m_sourcePath + dot;
    case Case::undoTargetNotFound:
        return QStringLiteral("No migration record available to undo.");
    case Case::undoSourceOccupied:
        return QStringLiteral("Cannot undo because source path is occupied: ") + m_path + dot;
    case Case::undoMappingBroken:
        return QStringLiteral("Cannot undo because mapped target path is missing: ") + m_path + dot;
    case Case::cloudSnapshotDeviceMismatch:
        return QStringLiteral("Cloud snapshot belongs to another device. Expected ") + m_expected +
               QStringLiteral(", received ") + m_actual + dot;
    case Case::sourceOccupiedAfterMove:
        return QStringLiteral("Cannot create the migration link because the source path was recreated or is "
                              "occupied again: ") +
               m_path + dot;
    case Case::undoTargetUnverified:
        return QStringLiteral("Cannot undo because the mapped target could not be confirmed as the migrated "
                              "item: ") +
               m_path + QStringLiteral(" (") + m_reason + QStringLiteral("). Nothing was changed.");
    case Case::historyNotWritten:
        return QStringLiteral("Could not write the history file ") + m_path + QStringLiteral(": ") +
               m_underlying.description;
    case Case::caseCount:
        break;
    }
    return QString();
}

} // namespace orvalink
