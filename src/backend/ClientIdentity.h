#pragma once

#include <QString>

// What the service is told about this installation with a login or a feedback item.
namespace orvalink::clientidentity {

// The computer's user-visible name; "Linux" when the system gives none.
QString deviceName();

// The application's version; "1.0.0" when none was built in.
QString appVersion();

} // namespace orvalink::clientidentity
