#include "backend/SyncRequestBody.h"

#include "backend/MigrationSyncPayloads.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace orvalink::syncwire {

namespace {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

SyncRequestBody::SyncRequestBody(const QString& deviceFingerprint)
{
    // Keys in the order QJsonObject writes them (sorted): deviceFingerprint, mappings, tasks.
    const QByteArray fingerprint =
        QJsonDocument(QJsonArray{deviceFingerprint}).toJson(QJsonDocument::Compact);
    m_bytes = "{\"deviceFingerprint\":" + fingerprint.mid(1, fingerprint.size() - 2) + ",\"mappings\":[";
}

void SyncRequestBody::addMapping(const LinkMapping& mapping)
{
    if (m_mappingCount++ > 0)
        m_bytes += ',';
    m_bytes += compact(mappingUpload(mapping));
}

void SyncRequestBody::openTasks()
{
    if (m_tasksOpen)
        return;
    m_bytes += "],\"tasks\":[";
    m_tasksOpen = true;
}

void SyncRequestBody::addTask(const MigrationTask& task)
{
    openTasks();
    if (m_taskCount++ > 0)
        m_bytes += ',';
    m_bytes += compact(taskUpload(task));
}

QByteArray SyncRequestBody::take()
{
    openTasks();
    m_bytes += "]}";
    return std::move(m_bytes);
}

} // namespace orvalink::syncwire
