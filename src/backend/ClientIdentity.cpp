#include "backend/ClientIdentity.h"

#include "platform/ComputerName.h"

namespace orvalink::clientidentity {

QString deviceName()
{
    const QString name = platform::computerName();
    return name.isEmpty() ? QStringLiteral("Linux") : name;
}

QString appVersion()
{
#ifdef ORVALINK_VERSION
    const QString version = QStringLiteral(ORVALINK_VERSION);
#else
    const QString version;
#endif
    return version.isEmpty() ? QStringLiteral("1.0.0") : version;
}

} // namespace orvalink::clientidentity
