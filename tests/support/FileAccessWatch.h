#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace orvalink::test {

// Notes every access to the folders below `roots` and the entries in them, by any process: opening
// (reading included), writing, creating, removing, renaming and attribute changes (inotify). What
// the kernel reports is kept until events() collects it, so a child process may run to its end
// first. Folders created after the start are not watched themselves; their creation is noted.
class FileAccessWatch {
public:
    explicit FileAccessWatch(const QStringList& roots = {});
    ~FileAccessWatch();
    FileAccessWatch(const FileAccessWatch&) = delete;
    FileAccessWatch& operator=(const FileAccessWatch&) = delete;

    // False (with the reason) when inotify is not available here.
    bool isValid() const { return m_fd >= 0; }
    QString skipReason() const { return m_skipReason; }

    // Watches one more folder and the folders below it; false (with the reason) when it cannot.
    bool watch(const QString& root);

    // What happened since the start, one line per event: "OPEN /path/to/file", "MODIFY …", and so on.
    QStringList events();

private:
    int m_fd = -1;
    QHash<int, QString> m_folders;
    QString m_skipReason;
};

} // namespace orvalink::test
