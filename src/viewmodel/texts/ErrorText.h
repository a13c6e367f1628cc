#pragma once

#include "model/OrvalinkError.h"

#include <QString>
#include <exception>
#include <optional>

namespace orvalink {

// The text a failure shows to the user: the fixed English description of our own error types
// (OrvalinkError, ClientError, PrivilegedFileOperationError), the message of a platform error, else
// what the exception says.
QString localizedDescription(const std::exception_ptr& error);
QString localizedDescription(const std::exception& error);

// `error` as the OrvalinkError it is; none for any other failure, or for none.
std::optional<OrvalinkError> orvalinkErrorOf(const std::exception_ptr& error);

} // namespace orvalink
