#include "platform/TimeProof.h"

#include <linux/magic.h>
#include <sys/vfs.h>

namespace orvalink::platform {

namespace {

// Not in <linux/magic.h>.
constexpr long kHfsMagic = 0x4244;
constexpr long kHfsPlusMagic = 0x482b;

bool keepsCoarseTimes(long kind)
{
    switch (kind) {
    case MSDOS_SUPER_MAGIC: // vfat and msdos alike: two seconds
    case EXFAT_SUPER_MAGIC:
    case kHfsMagic:
    case kHfsPlusMagic:
    case ISOFS_SUPER_MAGIC:
    case UDF_SUPER_MAGIC:
    case FUSE_SUPER_MAGIC: // NTFS and exFAT drivers among others: their rules are unknown
    case NFS_SUPER_MAGIC:  // times set by the server's clock
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case V9FS_MAGIC:
    case CEPH_SUPER_MAGIC:
    case AFS_SUPER_MAGIC:
    case AFS_FS_MAGIC:
    case CODA_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

bool before(const timespec& first, const timespec& second)
{
    return first.tv_sec < second.tv_sec || (first.tv_sec == second.tv_sec && first.tv_nsec < second.tv_nsec);
}

} // namespace

TimeStampPrecision timeStampPrecisionOf(int fd)
{
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0 || keepsCoarseTimes(long(info.f_type)))
        return TimeStampPrecision::coarse;
    return TimeStampPrecision::fine;
}

TimeProof::TimeProof(TimeStampPrecision precision, timespec copyBegan)
{
    if (precision == TimeStampPrecision::fine)
        m_provenBefore = timespec{copyBegan.tv_sec - kMarginSeconds, copyBegan.tv_nsec};
}

TimeProof TimeProof::beginningNow(int fd)
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return TimeProof(timeStampPrecisionOf(fd), now);
}

bool TimeProof::provesUnchanged(const struct stat& info) const
{
    return m_provenBefore && info.st_ctim.tv_nsec != 0 && before(info.st_mtim, *m_provenBefore) &&
           before(info.st_ctim, *m_provenBefore);
}

bool TimeProof::provesListingCurrent(const struct stat& info, timespec listed) const
{
    listed.tv_nsec -= kListingMarginNanoseconds;
    if (listed.tv_nsec < 0) {
        listed.tv_nsec += 1'000'000'000;
        --listed.tv_sec;
    }
    return m_provenBefore && info.st_ctim.tv_nsec != 0 && before(info.st_mtim, listed) &&
           before(info.st_ctim, listed);
}

} // namespace orvalink::platform
