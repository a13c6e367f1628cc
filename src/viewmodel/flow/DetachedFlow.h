#pragma once

#include <QCoro/QCoroTask>

namespace orvalink {

// Lets a flow run on without anyone awaiting it (a listing started by a navigation, a follow-up
// of a settings change). Whatever the flow throws ends here, in a developer diagnostic: such
// flows publish their own failures.
void startDetached(QCoro::Task<> flow);

} // namespace orvalink
