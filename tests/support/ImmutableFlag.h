#pragma once

#include <QString>

namespace orvalink::test {

// Sets the immutable attribute (chattr +i) on a file or directory for one scope: nothing inside an
// immutable directory can be created, removed or renamed, not even by root, so permission failures
// can be made in a test that runs as root. Cleared again when the object dies or on clear().
class ImmutableFlag {
public:
    explicit ImmutableFlag(QString path);
    ~ImmutableFlag();
    ImmutableFlag(const ImmutableFlag&) = delete;
    ImmutableFlag& operator=(const ImmutableFlag&) = delete;

    // False when the file system or the rights do not allow the attribute; see skipReason().
    bool isSet() const { return m_set; }
    const QString& skipReason() const { return m_skipReason; }

    void set();
    void clear();

    // The same for any path, without a scope; true on success.
    static bool change(const QString& path, bool immutable);

private:
    QString m_path;
    bool m_set = false;
    QString m_skipReason;
};

} // namespace orvalink::test
