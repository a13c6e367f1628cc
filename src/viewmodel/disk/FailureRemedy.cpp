#include "viewmodel/disk/FailureRemedy.h"

#include "model/OrvalinkError.h"

namespace orvalink {

FailureRemedy failureRemedy(const FailedMigrationRecord& record)
{
    using Case = OrvalinkError::Case;
    const std::optional<Case> errorCase = record.errorCase();
    if (errorCase == Case::targetAlreadyExists || errorCase == Case::sourceOccupiedAfterMove)
        return FailureRemedy::forceMigration;
    if (errorCase == Case::sourceInUse)
        return FailureRemedy::terminateHoldersAndRetry;
    return FailureRemedy::none;
}

} // namespace orvalink
