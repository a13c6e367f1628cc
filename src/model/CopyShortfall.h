#pragma once

#include "platform/VolumeProbe.h"

#include <QString>

namespace orvalink {

// Why a migration was refused although nothing failed: its copy would have held less than the
// folder, or could not be reached where the link would lead. The history keeps only the move
// failure's code and text (see OrvalinkError::copyFallsShort); this is what the window says it by.
struct CopyShortfall {
    enum class Reason {
        keptChanging,     // `entry` was written again and again while it was copied
        writtenInRemoval, // `entry` was written or made anew while the staged original was removed
        volumeCannotKeep, // the volume cannot keep `unkept` of `entry`
        volumeUntold,     // which volume the folder `entry` of the target lies on cannot be told (`why`)
        copyGone,         // the copy of `entry` left the volume or changed there before the original went
        // A file system mounted at `mountPoint` hid the copy of `entry` before the original went.
        copyHidden,
        // The original is gone, and its copy stands whole at `entry`, the target path, where a file
        // system mounted at `mountPoint` hides it: the migration is finished by a start once that
        // file system is unmounted.
        copyHiddenAfterRemoval,
    };

    Reason reason = Reason::keptChanging;
    QString entry;
    platform::Unkept unkept = platform::Unkept::modes; // for volumeCannotKeep
    QString fileSystem;                                // the volume's, as people know it ("exFAT")
    QString why;                                       // for volumeUntold, in English
    QString mountPoint;                                // for copyHidden and copyHiddenAfterRemoval

    static CopyShortfall keptChanging(const QString& entry);
    static CopyShortfall writtenInRemoval(const QString& entry);
    static CopyShortfall volumeCannotKeep(const QString& fileSystem, platform::Unkept unkept,
                                          const QString& entry);
    static CopyShortfall volumeUntold(const QString& folder, const QString& why);
    static CopyShortfall copyGone(const QString& entry);
    static CopyShortfall copyHidden(const QString& entry, const QString& mountPoint);
    static CopyShortfall copyHiddenAfterRemoval(const QString& targetPath, const QString& mountPoint);

    // In English, as the failure's stored text gives it after "Failed to move <source> to <target>: ".
    QString description() const;

    bool operator==(const CopyShortfall&) const = default;
};

// What of a folder the volume cannot keep, in English ("symbolic links").
QString unkeptText(platform::Unkept unkept);

} // namespace orvalink
