#include "support/LoopbackFeedbackBook.h"

#include <QStringList>
#include <QUuid>
#include <algorithm>

namespace orvalink::test {

namespace {

QString dateText(const QDateTime& date)
{
    return date.toUTC().toString(Qt::ISODate);
}

bool nonBlankString(const QJsonObject& request, const char* key)
{
    const QJsonValue value = request.value(QLatin1String(key));
    return value.isString() && !value.toString().trimmed().isEmpty();
}

} // namespace

qint64 LoopbackFeedbackBook::submittedOn(const QString& email, const QDate& day) const
{
    const QJsonArray items = m_items.value(email);
    return std::count_if(items.begin(), items.end(), [&](const QJsonValue& item) {
        return QDateTime::fromString(item[QStringLiteral("createdAt")].toString(), Qt::ISODate)
                   .toUTC()
                   .date() == day;
    });
}

QJsonObject LoopbackFeedbackBook::dashboard(const QString& email, const QDateTime& now) const
{
    const qint64 submitted = submittedOn(email, now.toUTC().date());
    return QJsonObject{{QStringLiteral("dailyLimit"), m_dailyLimit},
                       {QStringLiteral("submittedToday"), submitted},
                       {QStringLiteral("remainingToday"), std::max<qint64>(0, m_dailyLimit - submitted)},
                       {QStringLiteral("items"), m_items.value(email)}};
}

LoopbackFeedbackBook::Outcome LoopbackFeedbackBook::add(const QString& email, const QJsonObject& request,
                                                        const QDateTime& now)
{
    static const QStringList categories{QStringLiteral("suggestion"), QStringLiteral("bug"),
                                        QStringLiteral("migration"), QStringLiteral("payment"),
                                        QStringLiteral("other")};
    if (!categories.contains(request.value(QStringLiteral("category")).toString()) ||
        !nonBlankString(request, "subject") || !nonBlankString(request, "content") ||
        !nonBlankString(request, "source"))
        return Outcome::invalid;
    if (submittedOn(email, now.toUTC().date()) >= m_dailyLimit)
        return Outcome::limitReached;
    QJsonObject item{{QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
                     {QStringLiteral("status"), QStringLiteral("open")},
                     {QStringLiteral("createdAt"), dateText(now)},
                     {QStringLiteral("updatedAt"), dateText(now)}};
    for (const char* key :
         {"category", "subject", "content", "source", "appVersion", "deviceName", "deviceFingerprint"}) {
        const QJsonValue value = request.value(QLatin1String(key));
        if (value.isString())
            item.insert(QLatin1String(key), value);
    }
    m_items[email].prepend(item);
    return Outcome::accepted;
}

bool LoopbackFeedbackBook::resolve(const QString& itemId, const QString& status, const QString& adminNote,
                                   const QDateTime& now)
{
    for (QJsonArray& items : m_items) {
        for (qsizetype i = 0; i < items.size(); ++i) {
            QJsonObject item = items[i].toObject();
            if (item.value(QStringLiteral("id")).toString() != itemId)
                continue;
            item.insert(QStringLiteral("status"), status);
            item.insert(QStringLiteral("adminNote"), adminNote);
            item.insert(QStringLiteral("updatedAt"), dateText(now));
            item.insert(QStringLiteral("resolvedAt"), dateText(now));
            items[i] = item;
            return true;
        }
    }
    return false;
}

} // namespace orvalink::test
