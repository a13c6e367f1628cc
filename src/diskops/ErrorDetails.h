#pragma once

#include "model/OrvalinkError.h"

#include <exception>

namespace orvalink {

// What a failed file operation contributes to an OrvalinkError that wraps it: the platform error's
// message and errno, an administrator command's message, or the text of any other exception; for
// the errors of this system also a copy of the error itself.
OrvalinkError::Underlying underlyingOf(const std::exception& error);

// The underlying part for a failure that carried no exception object at all.
OrvalinkError::Underlying unknownUnderlying();

// True when the failure says that the item is in use (EBUSY or ETXTBSY).
bool isBusyError(const std::exception& error);

} // namespace orvalink
