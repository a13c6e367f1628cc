#include "AuthFixture.h"

#include "model/AppPaths.h"

namespace orvalink::test {

const QString AuthFixture::email = QStringLiteral("anna@example.com");
const QString AuthFixture::password = QStringLiteral(" pass word ");

AuthFixture::AuthFixture()
    : auth(BackendAPIClient(network.get()),
           AuthSessionStore(AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"))),
           deviceStore()),
      now(QDate(2025, 3, 1), QTime(8, 30), QTimeZone::utc())
{
    auth.setClock([this] { return now; });
    service.addUser(email, password);
    service.start();
}

bool AuthFixture::isReady() const
{
    return home.isValid() && service.http().port() != 0;
}

DeviceIdentityStore AuthFixture::deviceStore()
{
    return DeviceIdentityStore(AppPaths::applicationSupportFile(QStringLiteral("device_id.txt")));
}

BackendSession AuthFixture::signIn()
{
    return runTask(auth.login(base(), email, password, std::nullopt, std::nullopt));
}

} // namespace orvalink::test
