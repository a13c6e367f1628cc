#include "backend/BackendAuthRecords.h"

#include "backend/PayloadFields.h"
#include "model/JsonFields.h"

namespace orvalink {

BackendAuthSettings BackendAuthSettings::fromServiceJson(const QJsonValue& data, const ServiceDateReader&)
{
    const QJsonObject object = payload::asObject(data);
    return BackendAuthSettings{json::requireString(object, "siteKey"),
                               json::requireBool(object, "captchaEnabled")};
}

BackendCaptchaChallenge BackendCaptchaChallenge::fromServiceJson(const QJsonValue& data,
                                                                 const ServiceDateReader& dates)
{
    const QJsonObject object = payload::asObject(data);
    BackendCaptchaChallenge challenge;
    challenge.siteKey = json::requireString(object, "siteKey");
    challenge.enabled = json::requireBool(object, "enabled");
    challenge.captchaId = json::optionalString(object, "captchaId");
    challenge.imageDataURL = json::optionalString(object, "imageDataUrl");
    challenge.expiresAt = dates.optional(object, "expiresAt");
    return challenge;
}

} // namespace orvalink
