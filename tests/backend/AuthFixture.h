#pragma once

#include "BackendTestSupport.h"
#include "backend/BackendAuthService.h"
#include "support/LoopbackAccountService.h"
#include "support/TestHome.h"

#include <QDateTime>

namespace orvalink::test {

// One test's world: a temporary home, a fresh loopback service with one account, and an
// authentication service on the home's session and device files whose clock the test sets.
struct AuthFixture {
    static const QString email;
    static const QString password;

    AuthFixture();

    // The home exists and the service listens.
    bool isReady() const;
    QString base() const { return service.baseURL(); }
    qsizetype requestsTo(const QString& path) const { return service.http().requestsTo(path).size(); }
    // The device identity store on the home's "device_id.txt".
    static DeviceIdentityStore deviceStore();

    // Logs the account in and returns the saved session.
    BackendSession signIn();

    TestHome home;
    LoopbackAccountService service;
    std::unique_ptr<QNetworkAccessManager> network = loopbackNetwork();
    BackendAuthService auth;
    QDateTime now;
};

} // namespace orvalink::test
