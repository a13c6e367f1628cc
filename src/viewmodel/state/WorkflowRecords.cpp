#include "viewmodel/state/WorkflowRecords.h"

#include <algorithm>

namespace orvalink {

std::optional<OrvalinkError::Case> FailedMigrationRecord::errorCase() const
{
    if (!errorCode)
        return std::nullopt;
    return OrvalinkError::caseOfCode(*errorCode);
}

bool LinkRepairReport::hasUnrepairedLinks() const
{
    return std::any_of(links.cbegin(), links.cend(),
                       [](const LinkRepairRecord& link) { return !link.repaired; });
}

size_t qHash(const MigrationPathRecord& record, size_t seed)
{
    return qHashMulti(seed, record.id, record.sourcePath, record.targetPath, record.migratedAt);
}

size_t qHash(const FailedMigrationRecord& record, size_t seed)
{
    // The status counts through its text, the error code through its presence and then its text.
    seed = qHashMulti(seed, record.id, record.sourcePath, record.targetPath, record.failedAt,
                      toText(record.status), record.errorCode.has_value());
    if (record.errorCode)
        seed = qHashMulti(seed, *record.errorCode);
    return qHashMulti(seed, record.errorMessage, record.processes, record.olderVersions);
}

} // namespace orvalink
