#include "viewmodel/disk/RollbackNotice.h"

namespace orvalink {

void RollbackNotice::began(const QString& sourcePath)
{
    const std::lock_guard lock(m_mutex);
    m_sources.insert(sourcePath);
}

bool RollbackNotice::hasBegun(const QString& sourcePath) const
{
    const std::lock_guard lock(m_mutex);
    return m_sources.contains(sourcePath);
}

} // namespace orvalink
