#pragma once

#include "platform/EntryIdentity.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace orvalink {

// What programs hold of a staged original whose data a start finishes putting in place: a start
// removes, moves and copies none of it (a program writing a file that goes would write into no
// file), so it stays where it is, named, for a later start once they let go.
struct HeldLeftovers {
    QStringList paths;    // what stayed for that reason
    QStringList programs; // the shown names of the programs that held any of it

    bool isEmpty() const { return paths.isEmpty(); }
};

// Of `paths` (what stayed of the staged original at `staging`), those where one of `held` stands
// (see platform::entriesInUse), with the programs that hold anything at `staging`.
HeldLeftovers heldAmong(const QStringList& paths, const QSet<platform::EntryIdentity>& held,
                        const QString& staging);

} // namespace orvalink
