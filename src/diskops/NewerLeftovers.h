#pragma once

#include <QString>

namespace orvalink {

class FallbackFileOperations;

// After a migration came home from its target, what a program went on writing at the staging path
// while the staged files were removed is newer than what came home: it takes its place at `source`,
// a folder's entries one by one, and what each replaces is kept aside in an "append-preserved"
// sibling. On the home's file system, so every step is a rename. Answers whether everything went
// in; on a failure every move is put back, the leftovers stay whole at `staging`, and the answer is
// false. Never throws.
bool putNewerLeftoversInPlace(const FallbackFileOperations& files, const QString& staging,
                              const QString& source);

} // namespace orvalink
