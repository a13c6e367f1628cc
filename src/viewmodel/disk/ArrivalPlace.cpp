#include "viewmodel/disk/ArrivalPlace.h"

#include "diskops/ReservedPaths.h"
#include "diskops/ScanService.h"
#include "platform/IncrementalTreeMeasurer.h"

#include <QFile>
#include <algorithm>
#include <sys/stat.h>

namespace orvalink {

namespace {

qint64 fileBytes(const struct stat& info)
{
    if (!S_ISREG(info.st_mode))
        return 0;
    return std::max<qint64>(
        {0, static_cast<qint64>(info.st_size), static_cast<qint64>(info.st_blocks) * 512});
}

QStringList restoreSiblings(const QString& source)
{
    QStringList siblings = existingReservedPaths(source);
    siblings.removeIf([&source](const QString& path) {
        return !isReservedPathOf(source, path, ReservedSuffix::restoring);
    });
    return siblings;
}

} // namespace

qint64 readSizeForProgress(const QString& path, const ScanService& scan,
                           const platform::CancellationToken& cancellation)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    if (S_ISDIR(info.st_mode))
        return std::max<qint64>(0, scan.directorySize(path, true, cancellation));
    return fileBytes(info);
}

qint64 remeasuredBytes(const QString& path, platform::IncrementalTreeMeasurer& measurer,
                       const platform::CancellationToken& cancellation)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    // A directory keeps the totals of the parts that cannot have changed since the previous call, so
    // a call costs what changed, not the tree.
    return S_ISDIR(info.st_mode) ? measurer.measure(cancellation).value_or(0) : fileBytes(info);
}

std::shared_ptr<ArrivalPlace> ArrivalPlace::at(QString path)
{
    if (path.isEmpty())
        return nullptr;
    return std::shared_ptr<ArrivalPlace>(new ArrivalPlace(std::move(path), false));
}

std::shared_ptr<ArrivalPlace> ArrivalPlace::restoreSiblingOf(QString source)
{
    return std::shared_ptr<ArrivalPlace>(new ArrivalPlace(std::move(source), true));
}

ArrivalPlace::ArrivalPlace(QString path, bool restoreSibling)
    : m_path(std::move(path)), m_restoreSibling(restoreSibling)
{}

ArrivalPlace::~ArrivalPlace() = default;

void ArrivalPlace::takeStock(const ScanService& scan, const platform::CancellationToken& cancellation)
{
    if (m_restoreSibling)
        m_earlierSiblings = restoreSiblings(m_path);
    else
        m_present = readSizeForProgress(m_path, scan, cancellation);
}

QString ArrivalPlace::locate() const
{
    // Once found, the sibling stays the place: after the data took the source's place the sibling
    // holds the replaced link, which counts nothing.
    if (!m_restoreSibling || !m_measured.isEmpty())
        return m_restoreSibling ? m_measured : m_path;
    for (const QString& sibling : restoreSiblings(m_path)) {
        if (!m_earlierSiblings.contains(sibling))
            return sibling;
    }
    return {};
}

qint64 ArrivalPlace::arrivedBytes(const platform::CancellationToken& cancellation)
{
    const QString path = locate();
    if (path.isEmpty())
        return 0;
    if (path != m_measured) {
        m_measured = path;
        m_measurer = std::make_unique<platform::IncrementalTreeMeasurer>(path);
    }
    return std::max<qint64>(0, remeasuredBytes(path, *m_measurer, cancellation) - m_present);
}

} // namespace orvalink
