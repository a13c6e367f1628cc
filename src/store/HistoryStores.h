#pragma once

#include "model/LocalHistoryScope.h"
#include "model/StoreNames.h"

#include <QString>
#include <mutex>

namespace orvalink {

// Holds the history scope in use, so code on any thread finds the right folder. The lock guards
// only the scope: it is held for the copy or the assignment, never during file work.
class HistoryScopeHolder {
public:
    HistoryScopeHolder(const HistoryScopeHolder&) = delete;
    HistoryScopeHolder& operator=(const HistoryScopeHolder&) = delete;

    LocalHistoryScope scope() const;
    void setScope(const LocalHistoryScope& scope);

    // history/<scope folder>/<file name> under the application-support directory, for the scope
    // held now.
    QString filePath() const;
    // The same for a given scope.
    QString filePath(const LocalHistoryScope& scope) const;

protected:
    explicit HistoryScopeHolder(QString fileName) : m_fileName(std::move(fileName)) {}
    ~HistoryScopeHolder() = default;

private:
    const QString m_fileName;
    mutable std::mutex m_lock;
    LocalHistoryScope m_scope = LocalHistoryScope::guest();
};

// The scope of the task history, "tasks.jsonl".
class TaskStore : public HistoryScopeHolder {
public:
    TaskStore() : HistoryScopeHolder(StoreNames::tasks()) {}
};

// The scope of the mapping history, "mappings.jsonl".
class MappingStore : public HistoryScopeHolder {
public:
    MappingStore() : HistoryScopeHolder(StoreNames::mappings()) {}
};

} // namespace orvalink
