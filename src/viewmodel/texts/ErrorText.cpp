#include "viewmodel/texts/ErrorText.h"

#include "backend/ClientError.h"
#include "diskops/PrivilegedFileOperationError.h"
#include "model/OrvalinkError.h"
#include "platform/PlatformError.h"

namespace orvalink {

QString localizedDescription(const std::exception& error)
{
    if (const auto* product = dynamic_cast<const OrvalinkError*>(&error))
        return product->errorDescription();
    if (const auto* client = dynamic_cast<const ClientError*>(&error))
        return client->errorDescription();
    if (const auto* privileged = dynamic_cast<const PrivilegedFileOperationError*>(&error))
        return privileged->errorDescription();
    if (const auto* platformError = dynamic_cast<const platform::PlatformError*>(&error))
        return platformError->message();
    return QString::fromUtf8(error.what());
}

QString localizedDescription(const std::exception_ptr& error)
{
    if (!error)
        return QString();
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& exception) {
        return localizedDescription(exception);
    } catch (...) {
        return QStringLiteral("An unknown error occurred.");
    }
}

} // namespace orvalink
