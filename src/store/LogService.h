#pragma once

#include "model/LogEntry.h"

#include <QList>
#include <QString>
#include <mutex>

namespace orvalink {

// The user-visible log "app.log": one LogEntry per line. Every load and append holds the lock, so
// a load never sees half an append. Neither operation reports failures: a log write never changes
// the outcome of what it records.
class LogService {
public:
    explicit LogService(QString filePath);

    const QString& filePath() const { return m_filePath; }

    // The newest `limit` decodable entries, oldest first. Reads the file backwards from its end and
    // stops once enough entries decoded, so the cost does not grow with the log's age; a line
    // longer than JsonLinesReader::kMaximumLineLength is passed over without being held.
    QList<LogEntry> loadRecent(qint64 limit) const;

    void append(LogLevel level, const QString& message);

private:
    QString m_filePath;
    mutable std::mutex m_lock;
};

} // namespace orvalink
