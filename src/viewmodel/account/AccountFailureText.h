#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QString>
#include <exception>

namespace orvalink {

// The request never reached the account service or got no answer: refused, unreachable, timed out,
// cancelled or a failed TLS handshake.
bool isServiceUnreachable(const std::exception_ptr& error);

// What an account flow shows for its failure: a service that cannot be reached says so in the
// user's language, a product error gets its failure text, and the service's own refusal shows as
// the service wrote it.
BilingualText accountFailureText(const std::exception_ptr& error);

// The user's text for a service that cannot be reached.
BilingualText serviceUnreachableText();

} // namespace orvalink
