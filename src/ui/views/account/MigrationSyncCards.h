#pragma once

#include "backend/MigrationSyncRecords.h"

#include <QColor>
#include <QDateTime>
#include <QStringList>
#include <optional>

class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The cards of the migration sync section, built from the state at the moment of the call.

// A summary card: title, subtitle, chips, note.
QWidget* migrationOverviewCard(const QString& title, const QString& subtitle, const QString& note,
                               const QStringList& chips, QWidget* parent);

struct DeviceCardFacts {
    QString title;
    QString subtitle;
    QString fingerprint;
    qint64 mappingCount = 0;
    qint64 taskCount = 0;
    std::optional<QDateTime> latestActivityAt;
    QColor accent;
};

// One device: a dot in the accent, the title and the masked fingerprint, its chips, the subtitle.
QWidget* migrationDeviceCard(MainViewModel& viewModel, const DeviceCardFacts& facts, QWidget* parent);

// One source path that more than one device manages.
QWidget* migrationConflictCard(MainViewModel& viewModel, const BackendMigrationConflict& conflict,
                               QWidget* parent);

// The whole overview block: this device's local snapshot, the account, this device as the service
// knows it, the other devices and the conflicts.
QWidget* migrationOverviewBlock(MainViewModel& viewModel, QWidget* parent);

} // namespace orvalink::ui
