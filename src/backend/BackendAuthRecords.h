#pragma once

#include "backend/ServiceDateReader.h"

#include <QDateTime>
#include <QJsonValue>
#include <QString>
#include <optional>

namespace orvalink {

// The sign-in settings of a site: whether sign-in and sign-up need a captcha.
struct BackendAuthSettings {
    QString siteKey;
    bool captchaEnabled = false;

    // Both keys required. Raises json::DecodeError.
    static BackendAuthSettings fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates);

    bool operator==(const BackendAuthSettings&) const = default;
};

// One captcha to show and answer. The image is a data URL under the key "imageDataUrl".
struct BackendCaptchaChallenge {
    QString siteKey;
    bool enabled = false;
    std::optional<QString> captchaId;
    std::optional<QString> imageDataURL;
    std::optional<QDateTime> expiresAt;

    // "siteKey" and "enabled" required; the others may be absent or null. Raises json::DecodeError.
    static BackendCaptchaChallenge fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates);

    bool operator==(const BackendCaptchaChallenge&) const = default;
};

} // namespace orvalink
