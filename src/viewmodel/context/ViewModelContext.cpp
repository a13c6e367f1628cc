#include "viewmodel/context/ViewModelContext.h"

#include "viewmodel/context/TargetRootNormalization.h"

namespace orvalink {

ViewModelContext::ViewModelContext(ViewModelServices services, PlatformHooks platform)
    : m_services(std::move(services)), m_platform(std::move(platform)),
      m_pathMappingService(PathMappingService::systemProtectedPaths()),
      m_background(std::make_unique<BackgroundRunner>()), m_presentation(m_browsing, m_activity, m_platform)
{}

ViewModelContext::~ViewModelContext()
{
    // Work still running uses the services and path rules below; it ends before they go.
    m_background.reset();
}

bool ViewModelContext::hasManagedTargetRoot() const
{
    return orvalink::hasManagedTargetRoot(m_browsing.config());
}

bool ViewModelContext::isUnifiedTargetLocked() const
{
    return orvalink::isUnifiedTargetLocked(m_browsing.config());
}

QString ViewModelContext::effectiveTargetRoot() const
{
    return orvalink::effectiveTargetRoot(m_browsing.config());
}

void ViewModelContext::setHistoryScope(const LocalHistoryScope& scope)
{
    m_localHistoryScope = scope;
    m_repairPosition = 0;
    m_services.taskStore->setScope(scope);
    m_services.mappingStore->setScope(scope);
}

} // namespace orvalink
