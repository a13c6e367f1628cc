#pragma once

#include "platform/UniqueFd.h"

#include <QString>
#include <optional>

namespace orvalink::test {

// A file the kernel holds for one test, with no process behind it: attached to a loop device, as a
// disk image is (losetup --find --show), or in use as swap space (mkswap, swapon). Needs root and
// losetup or mkswap; a loop device needs /dev/loop-control, and swap a file system that takes it (tmpfs
// does not, and containers often refuse it). Without them the object is not valid and skipReason()
// says why. Released (detached, swap turned off) when the object dies, whatever the test did.
class KernelHeldFile {
public:
    enum class Kind { loopDevice, swap };

    // Holds the existing file at `path`. For swap it must be a regular file of at least 64 KiB with
    // no holes, whose content is overwritten with a swap signature.
    KernelHeldFile(QString path, Kind kind);
    ~KernelHeldFile();
    KernelHeldFile(const KernelHeldFile&) = delete;
    KernelHeldFile& operator=(const KernelHeldFile&) = delete;

    std::optional<QString> skipReason() const;
    // How the holds name the holder: the loop device ("loop3"), or "swap".
    QString holderName() const;
    // Lets the file go now; true when the kernel did.
    bool release();

private:
    QString m_path;
    Kind m_kind;
    QString m_device; // the loop device's node
    platform::UniqueFd m_swapFile;
    bool m_held = false;
    QString m_skipReason;
};

// A kind as a test row names it.
const char* kernelHoldName(KernelHeldFile::Kind kind);

} // namespace orvalink::test
