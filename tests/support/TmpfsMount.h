#pragma once

#include <QString>

namespace orvalink::test {

// A small tmpfs mounted at a directory for one test: a second file system for cross-device moves
// and a real mount for volume tests. Mounting needs root or the tests' own mount namespace
// (support/MountNamespace.h); without either the mount is not valid and the test skips with skipReason().
// Unmounted (lazily) when the object dies.
class TmpfsMount {
public:
    // Creates `mountPoint` when missing and mounts a tmpfs of `sizeBytes` there; `extraOptions`
    // (such as "nr_inodes=100") are added to the mount options.
    explicit TmpfsMount(QString mountPoint, qint64 sizeBytes = 64 * 1024 * 1024,
                        const QByteArray& extraOptions = {});
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool isValid() const { return m_mounted; }
    const QString& mountPoint() const { return m_mountPoint; }
    const QString& skipReason() const { return m_skipReason; }

private:
    QString m_mountPoint;
    bool m_mounted = false;
    QString m_skipReason;
};

} // namespace orvalink::test
