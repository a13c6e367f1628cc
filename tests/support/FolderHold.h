#pragma once

#include "support/KernelHeldFile.h"

#include <QString>
#include <optional>

namespace orvalink::test {

// A folder held in one of the ways that no look at the paths programs hold finds: a disk image in it
// attached to a loop device, or a swap file in it.
class FolderHold {
public:
    enum class How { loopDevice, swap };

    // Writes into `folder` what the hold takes: the image or swap file.
    static void fill(const QString& folder, How how);

    // Takes the hold on a folder that fill() prepared (or a copy of it). Released when the object
    // dies; see KernelHeldFile for when a kernel's hold cannot be taken (skipReason() says why).
    FolderHold(const QString& folder, How how);

    std::optional<QString> skipReason() const;
    // The holder as a refusal names it: "loop3", or "swap".
    QString holderName() const;
    // Lets go now; true when the hold is gone.
    bool release();

private:
    KernelHeldFile m_kernel;
};

// A way as a test row names it.
const char* folderHoldName(FolderHold::How how);

} // namespace orvalink::test
