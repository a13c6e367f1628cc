#include "viewmodel/AccountWorkflows.h"

namespace orvalink {

AccountWorkflows::AccountWorkflows(MainViewModel& viewModel)
    : m_session(viewModel), m_auth(viewModel, m_session), m_requirements(viewModel, m_session),
      m_feedback(viewModel, m_session), m_cloudSync(viewModel, m_session), m_overview(viewModel, m_session)
{}

AccountWorkflows::~AccountWorkflows()
{
    m_session.retire();
}

} // namespace orvalink
