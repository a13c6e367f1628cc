#include "store/HistoryStores.h"

#include "model/AppPaths.h"

namespace orvalink {

LocalHistoryScope HistoryScopeHolder::scope() const
{
    std::lock_guard guard(m_lock);
    return m_scope;
}

void HistoryScopeHolder::setScope(const LocalHistoryScope& scope)
{
    std::lock_guard guard(m_lock);
    m_scope = scope;
}

QString HistoryScopeHolder::filePath() const
{
    return filePath(scope());
}

QString HistoryScopeHolder::filePath(const LocalHistoryScope& scope) const
{
    return AppPaths::historyDirectory() + QLatin1Char('/') + scope.directoryName() + QLatin1Char('/') +
           m_fileName;
}

} // namespace orvalink
