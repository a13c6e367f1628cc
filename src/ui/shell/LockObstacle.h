#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QString>

namespace orvalink::ui {

// What stands at a lock file's path in place of a lock file, in the words the user needs to clear
// it: the path, what stands there, who owns it and the command that removes it.
struct LockObstacle {
    QString path;
    BilingualText kind;
    QString owner;   // the owner's login name, else the user id
    QString removal; // a shell command, with sudo when the entry is another user's; the path in it
                     // is quoted so that a terminal shows it harmlessly (platform::shellWord)

    // Looks at `path` without following a link (lstat).
    static LockObstacle at(const QString& path);
};

} // namespace orvalink::ui
