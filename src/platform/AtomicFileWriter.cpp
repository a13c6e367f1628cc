#include "platform/AtomicFileWriter.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

// Pieces smaller than this wait in a buffer until together they fill it.
constexpr qsizetype kBufferBytes = 64 * 1024;
// As the kernel's own limit on links followed in one lookup.
constexpr int kMaxLinkHops = 40;

// Where the file at `path` really is: a symbolic link there (a chain of them) is followed to the
// path it names, which need not exist yet.
QString followLinks(const QString& path)
{
    QString current = standardizedPath(path);
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const std::optional<QString> next = symbolicLinkDestination(current);
        if (!next)
            return current;
        current = *next;
    }
    throw PlatformError::fromErrno(ELOOP, path);
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString& path, std::optional<mode_t> mode)
    : m_finalPath(followLinks(path))
{
    const QByteArray finalName = QFile::encodeName(m_finalPath);
    struct stat existing {};
    const bool exists = ::stat(finalName.constData(), &existing) == 0;
    // A file the user made read-only is not replaced behind their back.
    if (exists && ::access(finalName.constData(), W_OK) != 0)
        throw PlatformError::fromErrno(errno, m_finalPath);

    QByteArray name;
    m_fd = createUniqueFile(AT_FDCWD, finalName + '.', name);
    if (!m_fd.isValid())
        throw PlatformError::fromErrno(errno, m_finalPath);
    m_temporaryPath = QFile::decodeName(name);

    // A new file without a mode keeps what the kernel gave it: 0666 less the umask.
    if (!mode && !exists)
        return;
    if (::fchmod(m_fd.get(), mode ? *mode : existing.st_mode & 07777) != 0)
        fail(errno, m_temporaryPath);
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!m_committed)
        discard();
}

void AtomicFileWriter::write(QByteArrayView bytes)
{
    if (m_sealed || !m_fd.isValid())
        throw PlatformError(EBADF, QStringLiteral("the new content is already closed: ") + m_finalPath);
    if (m_buffer.size() + bytes.size() < kBufferBytes) {
        m_buffer.append(bytes.data(), bytes.size());
        return;
    }
    // A large piece goes to the file as it is, after what waits before it.
    flushBuffer();
    writeNow(bytes);
}

void AtomicFileWriter::flushBuffer()
{
    writeNow(m_buffer);
    m_buffer.clear();
}

void AtomicFileWriter::writeNow(QByteArrayView bytes)
{
    if (const int error = writeAll(m_fd.get(), bytes))
        fail(error, m_finalPath);
}

void AtomicFileWriter::seal()
{
    if (m_sealed)
        return;
    if (!m_fd.isValid())
        throw PlatformError(EBADF, QStringLiteral("the new content was discarded: ") + m_finalPath);
    flushBuffer();
    // A file system may hold back a write error (a full disk under delayed allocation, a network
    // file system) until the flush or even the close: both are part of the write.
    if (::fsync(m_fd.get()) != 0)
        fail(errno, m_finalPath);
    if (const int error = m_fd.close())
        fail(error, m_finalPath);
    m_sealed = true;
}

void AtomicFileWriter::commit()
{
    seal();
    if (::rename(QFile::encodeName(m_temporaryPath).constData(),
                 QFile::encodeName(m_finalPath).constData()) != 0)
        fail(errno, m_finalPath);
    m_committed = true;
    syncDirectory(parentPath(m_finalPath));
}

void AtomicFileWriter::fail(int errorNumber, const QString& what)
{
    discard();
    throw PlatformError::fromErrno(errorNumber, what);
}

void AtomicFileWriter::discard()
{
    m_fd.reset();
    m_buffer.clear();
    if (!m_temporaryPath.isEmpty())
        ::unlink(QFile::encodeName(m_temporaryPath).constData());
    m_temporaryPath.clear();
}

} // namespace orvalink::platform
