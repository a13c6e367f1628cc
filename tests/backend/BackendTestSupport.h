#pragma once

#include "backend/ClientError.h"
#include "support/LoopbackHttpServer.h"
#include "support/TaskRunner.h"

#include <QNetworkAccessManager>
#include <memory>
#include <optional>

namespace orvalink::test {

// An access manager that never goes through a proxy, so requests stay on 127.0.0.1.
std::unique_ptr<QNetworkAccessManager> loopbackNetwork();

// The first rule of the request headers that a recorded request breaks; empty when all keep them:
// "Accept: application/json" always, "Content-Type: application/json" exactly when there is a
// body, and "Authorization: Bearer <token>" only under /api/v1/me/ and never with an empty token.
QString wireRuleViolation(const QList<LoopbackRequest>& requests);

// The ClientError the task ends with; none when it succeeds. Other exceptions pass through.
template <typename T> std::optional<ClientError> clientErrorOf(QCoro::Task<T> task)
{
    try {
        runTask(std::move(task));
    } catch (const ClientError& error) {
        return error;
    }
    return std::nullopt;
}

} // namespace orvalink::test
