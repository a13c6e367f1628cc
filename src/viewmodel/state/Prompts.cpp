#include "viewmodel/state/Prompts.h"

#include "viewmodel/state/ActivityState.h"

namespace orvalink {

Prompts::Prompts(ActivityState& activity) : m_activity(activity) {}

void Prompts::dismissMigrationConflict()
{
    m_activity.setMigrationConflictPrompt(std::nullopt);
}

void Prompts::dismissAccessRequirement()
{
    m_activity.setAccessRequirementPrompt(std::nullopt);
}

void Prompts::dismissError()
{
    m_activity.setErrorMessage(std::nullopt);
}

} // namespace orvalink
