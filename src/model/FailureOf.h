#pragma once

#include <exception>
#include <optional>

namespace orvalink {

// The failure `error` holds, when it is of type `Failure` (or derived from it); none for any other
// failure, or none at all.
template <typename Failure> std::optional<Failure> failureOf(const std::exception_ptr& error)
{
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const Failure& failure) {
        return failure;
    } catch (...) {
    }
    return std::nullopt;
}

} // namespace orvalink
