#pragma once

#include <QByteArray>
#include <functional>
#include <sys/types.h>

namespace orvalink::test {

// What a child process ended with.
struct ChildOutcome {
    int exitCode = -1; // -1 when it did not exit normally
    QByteArray output; // what `work` put into its output argument
};

// Runs `work` in a forked child and waits for it. With `asNobody` permission checks apply to the
// child even when the tests run as root: it first drops to the unprivileged user nobody:nogroup (no
// supplementary groups). A regular user is unprivileged already (in the tests' mount namespace its
// capabilities are dropped), so its child keeps its ids. The child's exit code is what `work`
// returns (125 when dropping failed, 126 when `work` threw).
ChildOutcome runInChild(const std::function<int(QByteArray& output)>& work, bool asNobody);

// As runInChild as nobody, but the child keeps root as its saved user and group id: its own file
// work meets the permission checks of nobody, while a process it starts may take root's rights back
// (setresuid to 0), as an administrator prompt would grant them.
ChildOutcome runInChildAsNobodyKeepingRoot(const std::function<int(QByteArray& output)>& work);

// The user and group ids the unprivileged child runs as: nobody's as root, our own otherwise.
uid_t unprivilegedUid();
gid_t unprivilegedGid();

// Makes the calling process the user `uid` of the group `gid`, with no supplementary groups, as a
// forked child does before its work or its exec (system calls only). With `keepRootAsSaved` root
// stays its saved user and group id, so that it may take root's rights back. False when any step
// was refused.
bool dropToUser(uid_t uid, gid_t gid, bool keepRootAsSaved = false);

} // namespace orvalink::test
