#pragma once

#include <QString>

namespace orvalink::test {

// A mount of one directory at another for one test (a volume on the same file system), unmounted
// when the object dies. Needs root or the tests' own mount namespace (support/MountNamespace.h).
class BindMount {
public:
    BindMount(const QString& from, const QString& at);
    ~BindMount();
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool isValid() const { return m_mounted; }

private:
    QString m_at;
    bool m_mounted = false;
};

} // namespace orvalink::test
