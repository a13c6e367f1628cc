#include "backend/BackendFeedbackRecords.h"

#include "backend/PayloadFields.h"
#include "model/JsonFields.h"

namespace orvalink {

namespace {

BackendFeedbackItem feedbackItem(const QJsonObject& object, const ServiceDateReader& dates)
{
    return BackendFeedbackItem{
        json::requireString(object, "id"),          json::requireString(object, "category"),
        json::requireString(object, "subject"),     json::requireString(object, "content"),
        json::requireString(object, "status"),      json::requireString(object, "source"),
        json::optionalString(object, "adminNote"),  json::optionalString(object, "appVersion"),
        json::optionalString(object, "deviceName"), json::optionalString(object, "deviceFingerprint"),
        dates.optional(object, "createdAt"),        dates.optional(object, "updatedAt"),
        dates.optional(object, "resolvedAt")};
}

} // namespace

QString toText(FeedbackCategory category)
{
    switch (category) {
    case FeedbackCategory::suggestion:
        return QStringLiteral("suggestion");
    case FeedbackCategory::bug:
        return QStringLiteral("bug");
    case FeedbackCategory::migration:
        return QStringLiteral("migration");
    case FeedbackCategory::payment:
        return QStringLiteral("payment");
    case FeedbackCategory::other:
        return QStringLiteral("other");
    }
    return QString();
}

std::optional<FeedbackCategory> feedbackCategoryFromText(const QString& text)
{
    for (FeedbackCategory category : kAllFeedbackCategories) {
        if (toText(category) == text)
            return category;
    }
    return std::nullopt;
}

BackendFeedbackDashboard BackendFeedbackDashboard::fromServiceJson(const QJsonValue& data,
                                                                   const ServiceDateReader& dates)
{
    const QJsonObject object = payload::asObject(data);
    BackendFeedbackDashboard dashboard;
    dashboard.dailyLimit = json::requireInt64(object, "dailyLimit");
    dashboard.submittedToday = json::requireInt64(object, "submittedToday");
    dashboard.remainingToday = json::requireInt64(object, "remainingToday");
    for (const QJsonValue& element : payload::requireArray(object, "items"))
        dashboard.items.append(feedbackItem(payload::asObject(element), dates));
    return dashboard;
}

} // namespace orvalink
