#pragma once

#include <QString>

namespace orvalink::test {

// Moves a mount to another mount point for one test, as a volume that comes back under another
// name (unmounted from there when the object dies), or as one unplugged for a while (put back where
// it was when the object dies). Needs root or the tests' own mount namespace.
class MovedMount {
public:
    enum class AtEnd { unmount, moveBack };

    MovedMount(const QString& from, const QString& to, AtEnd atEnd = AtEnd::unmount);
    ~MovedMount();
    MovedMount(const MovedMount&) = delete;
    MovedMount& operator=(const MovedMount&) = delete;
    bool isValid() const { return m_moved; }

private:
    QString m_from;
    QString m_to;
    AtEnd m_atEnd;
    bool m_moved = false;
};

} // namespace orvalink::test
