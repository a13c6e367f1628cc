#pragma once

namespace orvalink {

class LogService;

// Removes what writes killed midway (a crash, a kill, a machine that stopped) left beside the
// application's own stores: the temporary files of the history files in every scope's folder, of
// the application-support folder's own files and of the log, and the operations folder's leftovers
// (OperationJournal::removeLeftovers). Only files no running process holds go (see
// platform::removeUnheldFiles): a second process of ours writing meanwhile keeps its own. One line
// tells the log how many files went and their size, when any did. Blocking: run it off the
// window's thread. Never throws.
void removeLeftoversOfKilledWrites(LogService& log);

} // namespace orvalink
