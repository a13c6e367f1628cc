#include "viewmodel/account/AccountWorkflows.h"

namespace orvalink {

AccountWorkflows::AccountWorkflows(ViewModelContext& context, PersistedStateReader& persisted)
    : m_session(context, persisted), m_requirements(context, m_session), m_feedback(context, m_session),
      m_overview(context, m_session), m_cloudSync(context, m_session, persisted, m_overview),
      m_auth(context, m_session, m_requirements, m_feedback, m_overview, m_cloudSync), m_texts(context)
{}

AccountWorkflows::~AccountWorkflows()
{
    m_session.retire();
}

} // namespace orvalink
