#pragma once

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <optional>

namespace orvalink {

// A long step of the running disk work that the counters of its items do not follow, with a
// progress of its own: the data of a failed migration coming back to its folder, or the start-up
// putting right an operation an earlier run left unfinished. The dock shows it in place of the
// items' progress while it runs.
struct DiskWorkStep {
    enum class Kind {
        comingHome,         // a migration taken back after its copy: the data returns to the folder
        finishingMigration, // the start-up finishes (or takes back) an interrupted migration
        finishingUndo,      // the start-up finishes (or stops) an interrupted undo
    };

    Kind kind = Kind::comingHome;
    QString path; // the folder the step works on, at the user's path
    qint64 doneBytes = 0;
    // 0 while not known: the step shows as under way, without a figure.
    qint64 totalBytes = 0;

    // How far the step has got, below 1 until it ends (its last moves are still to come when all its
    // bytes are there); none while the total is not known.
    std::optional<double> ratio() const
    {
        if (totalBytes < 1)
            return std::nullopt;
        return std::clamp(static_cast<double>(doneBytes) / static_cast<double>(totalBytes), 0.0, 0.99);
    }

    bool operator==(const DiskWorkStep&) const = default;
};

} // namespace orvalink
