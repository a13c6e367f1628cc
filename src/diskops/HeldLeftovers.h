#pragma once

#include "platform/EntryIdentity.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace orvalink {

// What programs hold of what a start would remove (a staged original, or a copy that is no longer
// needed): a start removes, moves and copies none of it (a program writing a file that goes would
// write into no file), so it stays where it is, named, for a later start once they let go.
struct HeldLeftovers {
    QStringList paths;    // what stayed for that reason
    QStringList programs; // the shown names of the programs that held any of it

    bool isEmpty() const { return paths.isEmpty(); }
};

// Of `paths`, those where a file of `inUse` (see platform::entriesInUse) stands now.
QStringList heldAmong(const QStringList& paths, const QSet<platform::EntryIdentity>& inUse);

// `paths`, held by programs, below `place`, with the programs that hold anything there.
HeldLeftovers heldLeftovers(const QStringList& paths, const QString& place);

} // namespace orvalink
