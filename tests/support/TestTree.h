#pragma once

#include <QByteArray>
#include <QString>

namespace orvalink::test {

// Builds files, directories and links below a root in a few lines. A call the file system refuses
// throws std::runtime_error, which fails the running test.
class TestTree {
public:
    explicit TestTree(QString root);

    const QString& root() const { return m_root; }
    QString path(const QString& relative) const;

    // Each creates missing parent directories and returns the full path.
    QString dir(const QString& relative);
    QString file(const QString& relative, const QByteArray& content = {});
    // A file of `size` bytes of data.
    QString fileOfSize(const QString& relative, qint64 size);
    // A file whose logical size is `size` with no blocks allocated.
    QString sparseFile(const QString& relative, qint64 size);
    QString symlink(const QString& relative, const QString& target);
    QString fifo(const QString& relative);
    // A second name for the existing entry `existing` (both relative).
    QString hardLink(const QString& relative, const QString& existing);

    // Waits until the file system has written back every file below the root. Block counts of files
    // just written can change while that happens (an allocation being booked is briefly counted
    // nowhere), so tests that compare st_blocks-based sizes read twice settle the tree first.
    void settle() const;

    // Reads a file back (empty when missing).
    QByteArray read(const QString& relative) const;

private:
    QString m_root;
};

} // namespace orvalink::test
