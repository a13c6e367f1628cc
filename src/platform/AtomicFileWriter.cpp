#include "platform/AtomicFileWriter.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QSaveFile>
#include <cerrno>
#include <sys/stat.h>

namespace orvalink::platform {

namespace {

PlatformError failureOf(const QSaveFile& file, const QString& path)
{
    return PlatformError(errno != 0 ? errno : EIO, file.errorString() + QStringLiteral(": ") + path);
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString& path, std::optional<mode_t> mode)
    : m_path(path), m_file(std::make_unique<QSaveFile>(path))
{
    errno = 0;
    if (!m_file->open(QIODevice::WriteOnly))
        throw failureOf(*m_file, m_path);
    if (mode && ::fchmod(m_file->handle(), *mode) != 0) {
        const int error = errno;
        m_file->cancelWriting();
        throw PlatformError::fromErrno(error, m_path);
    }
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::write(QByteArrayView bytes)
{
    errno = 0;
    if (m_file->write(bytes.data(), bytes.size()) != bytes.size()) {
        const PlatformError failure = failureOf(*m_file, m_path);
        m_file->cancelWriting();
        throw failure;
    }
}

void AtomicFileWriter::commit()
{
    errno = 0;
    if (!m_file->commit())
        throw failureOf(*m_file, m_path);
    syncDirectory(parentPath(standardizedPath(m_path)));
}

} // namespace orvalink::platform
