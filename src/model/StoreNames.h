#pragma once

#include <QString>
#include <QStringList>

// The names of the files the application keeps, spelled here only, so that what treats them all
// alike (the start-up's sweep of what killed writes left) misses none.
namespace orvalink::StoreNames {

// In the application-support directory.
QString config();      // "config.json"
QString scanCache();   // "scan_cache.json"
QString authSession(); // "auth_session.json"
QString deviceID();    // "device_id.txt"
// In each history scope's folder.
QString mappings(); // "mappings.jsonl"
QString tasks();    // "tasks.jsonl"

// The backup a replaced history file keeps of its former content, beside it.
QString backupOf(const QString& path);

// Every file of the application-support directory itself.
QStringList supportFiles();
// Every file of a history scope's folder, the backups included.
QStringList historyFiles();

} // namespace orvalink::StoreNames
