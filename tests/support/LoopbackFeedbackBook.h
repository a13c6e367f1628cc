#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <optional>

namespace orvalink::test {

// The loopback service's feedback: the items of each account and a daily limit per account.
class LoopbackFeedbackBook {
public:
    enum class Outcome { accepted, invalid, limitReached };

    void setDailyLimit(int limit) { m_dailyLimit = limit; }

    // The quota of the UTC day of `now` and every item of the account, newest first.
    QJsonObject dashboard(const QString& email, const QDateTime& now) const;

    // Adds an item when the request is complete and the day's quota is not used up.
    Outcome add(const QString& email, const QJsonObject& request, const QDateTime& now);

    // Sets the administrators' note and a status on an item; false when there is no such item.
    bool resolve(const QString& itemId, const QString& status, const QString& adminNote,
                 const QDateTime& now);

private:
    qint64 submittedOn(const QString& email, const QDate& day) const;

    int m_dailyLimit = 5;
    QMap<QString, QJsonArray> m_items;
};

} // namespace orvalink::test
