#include "viewmodel/disk/FailureRemedy.h"

#include "model/OrvalinkError.h"

namespace orvalink {

FailureRemedy failureRemedy(const FailedMigrationRecord& record)
{
    if (!record.errorCode)
        return FailureRemedy::none;
    using Case = OrvalinkError::Case;
    const QString& code = *record.errorCode;
    if (code == OrvalinkError::codeOf(Case::targetAlreadyExists) ||
        code == OrvalinkError::codeOf(Case::sourceOccupiedAfterMove))
        return FailureRemedy::forceMigration;
    if (code == OrvalinkError::codeOf(Case::sourceInUse))
        return FailureRemedy::terminateHoldersAndRetry;
    return FailureRemedy::none;
}

} // namespace orvalink
