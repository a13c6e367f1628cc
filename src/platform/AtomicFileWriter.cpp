#include "platform/AtomicFileWriter.h"

#include "platform/FileIO.h"
#include "platform/HeldFiles.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

// Pieces smaller than this wait in a buffer until together they fill it.
constexpr qsizetype kBufferBytes = 64 * 1024;

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString& path, std::optional<mode_t> mode)
    : m_final(locateLinkedFile(path))
{
    const int folder = m_final.parent.get();
    const std::optional<struct stat> existing = replacedFile();
    // A file the user made read-only is not replaced behind their back.
    if (existing && ::faccessat(folder, m_final.name.constData(), W_OK, 0) != 0)
        throw PlatformError::fromErrno(errno, m_final.path);

    m_fd = createHeldTemporaryFile(folder, m_final.name, m_temporaryName);
    if (!m_fd.isValid())
        throw PlatformError::fromErrno(errno, m_final.path);
    m_hold = duplicateFd(m_fd.get());
    if (!m_hold.isValid())
        fail(errno, m_final.path);
    struct stat created {};
    if (::fstat(m_fd.get(), &created) != 0)
        fail(errno, m_final.path);
    m_identity = EntryIdentity::of(created);

    // A new file without a mode keeps what the kernel gave it: 0666 less the umask.
    if (!mode && !existing)
        return;
    if (::fchmod(m_fd.get(), mode ? *mode : existing->st_mode & 07777) != 0)
        fail(errno, m_final.path);
}

std::optional<struct stat> AtomicFileWriter::replacedFile() const
{
    struct stat info {};
    if (::fstatat(m_final.parent.get(), m_final.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    // The rename would put the new file in the place of whatever stands there: a device or a FIFO a
    // store's link leads to (a link to /dev/null turns a file off) would stop being one.
    requireRegularFile(info, m_final.path);
    return info;
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!m_committed)
        discard();
}

void AtomicFileWriter::write(QByteArrayView bytes)
{
    if (m_sealed || !m_fd.isValid())
        throw PlatformError(EBADF, QStringLiteral("the new content is already closed: ") + m_final.path);
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
        fail(error, m_final.path);
}

void AtomicFileWriter::seal()
{
    if (m_sealed)
        return;
    if (!m_fd.isValid())
        throw PlatformError(EBADF, QStringLiteral("the new content was discarded: ") + m_final.path);
    flushBuffer();
    // A file system may hold back a write error (a full disk under delayed allocation, a network
    // file system) until the flush or even the close: both are part of the write.
    if (::fsync(m_fd.get()) != 0)
        fail(errno, m_final.path);
    if (const int error = m_fd.close())
        fail(error, m_final.path);
    m_sealed = true;
}

void AtomicFileWriter::commit()
{
    seal();
    // Looked at again: what took the file's place since the writer began is not replaced either.
    try {
        replacedFile();
    } catch (const PlatformError&) {
        discard();
        throw;
    }
    const int folder = m_final.parent.get();
    if (::renameat(folder, m_temporaryName.constData(), folder, m_final.name.constData()) != 0)
        fail(errno, m_final.path);
    m_committed = true;
    m_hold.reset();
    m_temporaryName.clear();
    syncDirectory(folder, parentPath(m_final.path));
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
    // Removed while still held: a sweep never sees it unheld at its name.
    if (!m_temporaryName.isEmpty())
        ::unlinkat(m_final.parent.get(), m_temporaryName.constData(), 0);
    m_temporaryName.clear();
    m_hold.reset();
}

} // namespace orvalink::platform
