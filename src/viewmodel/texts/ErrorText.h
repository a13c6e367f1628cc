#pragma once

#include <QString>
#include <exception>

namespace orvalink {

// The text a failure shows to the user: the fixed English description of our own error types
// (OrvalinkError, ClientError, PrivilegedFileOperationError), the message of a platform error, else
// what the exception says.
QString localizedDescription(const std::exception_ptr& error);
QString localizedDescription(const std::exception& error);

} // namespace orvalink
