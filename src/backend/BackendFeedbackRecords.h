#pragma once

#include "backend/ServiceDateReader.h"

#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace orvalink {

// Feedback topics, in the order the picker shows them.
enum class FeedbackCategory { suggestion, bug, migration, payment, other };

inline constexpr std::array<FeedbackCategory, 5> kAllFeedbackCategories{
    FeedbackCategory::suggestion, FeedbackCategory::bug, FeedbackCategory::migration,
    FeedbackCategory::payment, FeedbackCategory::other};

// "suggestion", "bug", "migration", "payment", "other"; parsing is exact.
QString toText(FeedbackCategory category);
std::optional<FeedbackCategory> feedbackCategoryFromText(const QString& text);

// One feedback item of the account; identified by `id`. Category and status are the service's
// texts, not checked here.
struct BackendFeedbackItem {
    QString id;
    QString category;
    QString subject;
    QString content;
    QString status;
    QString source;
    std::optional<QString> adminNote;
    std::optional<QString> appVersion;
    std::optional<QString> deviceName;
    std::optional<QString> deviceFingerprint;
    std::optional<QDateTime> createdAt;
    std::optional<QDateTime> updatedAt;
    std::optional<QDateTime> resolvedAt;

    bool operator==(const BackendFeedbackItem&) const = default;
};

// The account's daily quota and its items in the service's order.
struct BackendFeedbackDashboard {
    qint64 dailyLimit = 0;
    qint64 submittedToday = 0;
    qint64 remainingToday = 0;
    QList<BackendFeedbackItem> items;

    // All four keys required. Raises json::DecodeError.
    static BackendFeedbackDashboard fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates);

    bool operator==(const BackendFeedbackDashboard&) const = default;
};

} // namespace orvalink
