#include "model/StoreNames.h"

namespace orvalink::StoreNames {

QString config()
{
    return QStringLiteral("config.json");
}

QString scanCache()
{
    return QStringLiteral("scan_cache.json");
}

QString authSession()
{
    return QStringLiteral("auth_session.json");
}

QString deviceID()
{
    return QStringLiteral("device_id.txt");
}

QString mappings()
{
    return QStringLiteral("mappings.jsonl");
}

QString tasks()
{
    return QStringLiteral("tasks.jsonl");
}

QString backupOf(const QString& path)
{
    return path + QStringLiteral(".bak");
}

QStringList supportFiles()
{
    return {config(), scanCache(), authSession(), deviceID()};
}

QStringList historyFiles()
{
    return {mappings(), tasks(), backupOf(mappings()), backupOf(tasks())};
}

} // namespace orvalink::StoreNames
