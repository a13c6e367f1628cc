#pragma once

#include <QSet>
#include <QString>
#include <mutex>

namespace orvalink {

// Which items of a run the migration engine has begun to take back: told on the engine's thread
// (its rollback callback), read on the main thread by the progress that follows the data home.
class RollbackNotice {
public:
    void began(const QString& sourcePath);
    bool hasBegun(const QString& sourcePath) const;

private:
    mutable std::mutex m_mutex;
    QSet<QString> m_sources;
};

} // namespace orvalink
