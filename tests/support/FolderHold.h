#pragma once

#include "support/ForkedHolder.h"
#include "support/KernelHeldFile.h"

#include <QString>
#include <memory>
#include <optional>

namespace orvalink::test {

// A folder held in one of the ways that no look at the paths in a program's own folder of /proc
// finds: a disk image in it attached to a loop device, a swap file in it, or a log in it that a
// program (named "holder") keeps open after a rotation by link and unlink removed the name it
// opened: the file lives on as "app.log.1", and the program's path reads ".../app.log (deleted)".
// Or a program's thread with working directories of its own sits in the folder, or one with a
// descriptor table of its own holds the log open, or the log is registered with a program's
// io_uring instance (see ForkedHolder).
class FolderHold {
public:
    enum class How { loopDevice, swap, removedName, threadWorkingDirectory, threadDescriptor, ring };

    // The kernel holds the folder, not a program: ending the programs leaves it.
    static bool isKernelHold(How how) { return how == How::loopDevice || how == How::swap; }

    // Writes into `folder` what the hold takes: the image or swap file, or the log (and its link).
    static void fill(const QString& folder, How how);

    // Takes the hold on a folder that fill() prepared (or a copy of it). Released when the object
    // dies; see KernelHeldFile for when a kernel's hold cannot be taken (skipReason() says why).
    FolderHold(const QString& folder, How how);

    std::optional<QString> skipReason() const;
    // The holder as a refusal names it: "loop3", "swap", or "holder".
    QString holderName() const;
    // Lets go now; true when the hold is gone.
    bool release();

private:
    std::unique_ptr<KernelHeldFile> m_kernel;
    std::unique_ptr<ForkedHolder> m_program;
    QString m_skipReason;
};

// A way as a test row names it.
const char* folderHoldName(FolderHold::How how);

} // namespace orvalink::test
