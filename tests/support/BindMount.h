#pragma once

#include <QString>
#include <optional>

namespace orvalink::test {

// A mount of one directory at another for one test (a volume on the same file system);
// `recursive` takes the mounts below `from` along. Unmounted (with whatever it took along) when the
// object dies. Needs root or the tests' own mount namespace (support/MountNamespace.h).
class BindMount {
public:
    BindMount(const QString& from, const QString& at, bool recursive = false);
    ~BindMount();
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool isValid() const { return m_mounted; }
    // Why the mount is not there; none when it is.
    std::optional<QString> skipReason() const;

private:
    QString m_at;
    bool m_mounted = false;
};

} // namespace orvalink::test
