#pragma once

#include "support/TmpfsMount.h"

#include <QString>
#include <optional>

namespace orvalink::test {

// How a folder refuses writes, as a real disk does.
enum class WriteFault {
    diskFull, // every new byte fails with ENOSPC (new names can still be made)
    readOnly  // every change fails with EROFS
};

// A fault as a test row names it.
const char* writeFaultName(WriteFault fault);

// A folder on a small file system of its own, for tests of what a failed write leaves behind: what
// the test writes there first stays readable, then fail() makes every later write fail the way
// `fault` says until heal(). Needs what TmpfsMount needs; without it skipReason() says why.
// Whatever stood at the path before is hidden while the object lives.
class FailingFolder {
public:
    explicit FailingFolder(const QString& path, qint64 sizeBytes = 4 * 1024 * 1024);
    ~FailingFolder();
    FailingFolder(const FailingFolder&) = delete;
    FailingFolder& operator=(const FailingFolder&) = delete;

    std::optional<QString> skipReason() const;
    const QString& path() const { return m_mount.mountPoint(); }

    // From now on writes below the folder fail as `fault` says. Answers false (with a warning) when
    // the fault could not be set up.
    bool fail(WriteFault fault);
    // Writes succeed again.
    void heal();

private:
    QString fillerPath() const;

    TmpfsMount m_mount;
    std::optional<WriteFault> m_fault;
};

} // namespace orvalink::test
