#pragma once

namespace orvalink {

class ActivityState;

// The prompts waiting for an answer and the error alert, as the window takes them off the screen.
// Each dismissal clears the published value, so the next prompt or error can show; what an answer
// starts is an action of the part it concerns. A restore run's question is answered (Cancel too)
// through DiskWorkflows::answerUndoConflict, which clears it. Main thread only.
class Prompts {
public:
    explicit Prompts(ActivityState& activity);

    void dismissMigrationConflict();
    void dismissAccessRequirement();
    void dismissError();

private:
    ActivityState& m_activity;
};

} // namespace orvalink
