#include "viewmodel/account/AccountFailureText.h"

#include "backend/ClientError.h"
#include "model/OrvalinkError.h"
#include "viewmodel/texts/ErrorText.h"
#include "viewmodel/texts/MigrationFailureText.h"

namespace orvalink {

namespace {

enum class FailureKind { unreachable, product, other };

FailureKind kindOf(const std::exception_ptr& error)
{
    if (!error)
        return FailureKind::other;
    try {
        std::rethrow_exception(error);
    } catch (const ClientError& failure) {
        if (failure.kind() == ClientError::Kind::transportFailure)
            return FailureKind::unreachable;
    } catch (const OrvalinkError&) {
        return FailureKind::product;
    } catch (...) {
    }
    return FailureKind::other;
}

} // namespace

bool isServiceUnreachable(const std::exception_ptr& error)
{
    return kindOf(error) == FailureKind::unreachable;
}

BilingualText serviceUnreachableText()
{
    return BilingualText("无法连接账号服务，请检查网络连接后再试。",
                         "Cannot reach the account service. Check the network connection "
                         "and try again.");
}

BilingualText accountFailureText(const std::exception_ptr& error)
{
    switch (kindOf(error)) {
    case FailureKind::unreachable:
        return serviceUnreachableText();
    case FailureKind::product:
        return localizedMigrationFailureMessage(error);
    case FailureKind::other:
        break;
    }
    return BilingualText::same(localizedDescription(error));
}

} // namespace orvalink
