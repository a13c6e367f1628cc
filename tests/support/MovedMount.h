#pragma once

#include <QString>

namespace orvalink::test {

// Moves a mount to another mount point for one test, as a volume that comes back under another
// name; unmounted from there when the object dies. Needs root.
class MovedMount {
public:
    MovedMount(const QString& from, const QString& to);
    ~MovedMount();
    MovedMount(const MovedMount&) = delete;
    MovedMount& operator=(const MovedMount&) = delete;
    bool isValid() const { return m_moved; }

private:
    QString m_to;
    bool m_moved = false;
};

} // namespace orvalink::test
