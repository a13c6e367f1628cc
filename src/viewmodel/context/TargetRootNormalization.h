#pragma once

#include "model/AppConfig.h"

#include <QString>

namespace orvalink {

// Every settings record taken into use passes through this first. The target roots come out
// standardized and under the rule of unified target management: while it is on and a managed root
// is stored, the default target root equals it; a managed root is only ever recorded by the user's
// pick of a target (SettingsActions::setTargetRoot), never made up from the default target, so a
// fresh installation or a reset is not locked before the user has chosen. A blank managed root, or
// one that is the built-in placeholder, is dropped. The service address is normalized too; every
// other field is copied. Pure but for reading where volumes are mounted.
AppConfig normalizedTargetConfig(const AppConfig& config);

// Trimmed; blank gives the default endpoint; "http://" added when there is no scheme; one trailing
// "/" removed; the IPv4 loopback development address on port 8080 gives the default endpoint.
QString normalizedBackendBaseURL(const QString& value);

// A managed root of non-zero length is stored (not trimmed).
bool hasManagedTargetRoot(const AppConfig& config);
// Unified management is on and a managed root is stored.
bool isUnifiedTargetLocked(const AppConfig& config);
// The target root migrations use: the managed root while locked, else the default target root.
QString effectiveTargetRoot(const AppConfig& config);

} // namespace orvalink
