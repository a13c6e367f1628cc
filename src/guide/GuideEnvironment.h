#pragma once

#include <QString>
#include <optional>

namespace orvalink::guide {

// True exactly when the variable is set to the single character "1": the developer modes are
// switched on by that value alone, never by "true", " 1" or "01".
bool environmentSwitchIsOn(const char* name);

// The variable's value without surrounding white space and line breaks; none when it is missing
// or blank.
std::optional<QString> guideEnvironmentValue(const char* name);

// A yes/no variable: "1", "true", "yes", "on" and "0", "false", "no", "off" in any case (after
// trimming); missing, blank or any other value gives `fallback`.
bool guideEnvironmentFlag(const char* name, bool fallback);

} // namespace orvalink::guide
