#pragma once

#include <QString>

namespace orvalink::test {

// The file system mounted at a path made read-only for as long as the object lives, as a volume
// that is mounted so.
class ReadOnlyRemount {
public:
    explicit ReadOnlyRemount(QString mountPoint);
    ~ReadOnlyRemount();
    ReadOnlyRemount(const ReadOnlyRemount&) = delete;
    ReadOnlyRemount& operator=(const ReadOnlyRemount&) = delete;

    bool isValid() const { return m_valid; }

private:
    QString m_mountPoint;
    bool m_valid = false;
};

} // namespace orvalink::test
