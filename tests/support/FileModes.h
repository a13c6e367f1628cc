#pragma once

#include <QString>
#include <sys/stat.h>

namespace orvalink::test {

// The permission bits of whatever stands at `path` (links not followed); 0 when nothing does.
inline mode_t modeOf(const QString& path)
{
    struct stat info {};
    if (::lstat(path.toLocal8Bit().constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

// Sets the umask for one scope, so tests show modes do not depend on it.
class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_previous(::umask(mask)) {}
    ~UmaskScope() { ::umask(m_previous); }
    UmaskScope(const UmaskScope&) = delete;
    UmaskScope& operator=(const UmaskScope&) = delete;

private:
    mode_t m_previous;
};

} // namespace orvalink::test
