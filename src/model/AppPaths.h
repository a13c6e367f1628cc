#pragma once

#include <QString>

namespace orvalink::AppPaths {

// ORVALINK_APP_SUPPORT_DIR when set and not blank (trimmed, standardized), else
// $XDG_DATA_HOME/Orvalink. Computed on every call; creates nothing.
QString applicationSupportDirectory();

// ORVALINK_LOG_DIR + "/app.log" when set and not blank, else $XDG_STATE_HOME/Orvalink/app.log.
QString logsFile();

// applicationSupportDirectory() + "/history".
QString historyDirectory();

// A file directly inside the application-support directory ("config.json", "scan_cache.json",
// "auth_session.json", "device_id.txt").
QString applicationSupportFile(const QString& name);

// Creates the application-support, history and log directories (mode 0700 for what it creates) and
// moves history files of the older flat layout into the guest folder when that has none yet.
// Idempotent. Throws platform::PlatformError; steps after a failing one are not run.
void ensureBaseDirectories();

} // namespace orvalink::AppPaths
