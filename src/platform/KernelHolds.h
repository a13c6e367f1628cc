#pragma once

#include "platform/EntryIdentity.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Files the kernel itself keeps in use, with no process behind them: the backing file of a loop
// device, and a file in use as swap space. What a file system mounted from the loop device writes
// lands in that very file, and swapped-out pages live in it: a copy of it elsewhere is not what the
// kernel uses, so removing it loses them. Nobody can be signalled to let go of it; that takes
// `losetup -d` or `swapoff`.
namespace orvalink::platform {

struct KernelHold {
    QString holder;         // the loop device's name ("loop3"), or "swap"
    EntryIdentity identity; // the file itself
    QByteArray path;        // where the kernel names it now (see ReportedEntry)
};

// Every loop device's backing file and every swap file that can be identified. A loop device is
// asked for the device and inode of its file (LOOP_GET_STATUS64), which hold wherever that file was
// renamed or whichever mount it is reached through. Whoever may not open the device (a regular
// user) gets, like every swap file, the entry at the path the kernel names: the kernel keeps it
// current, but it leads nowhere once the file has lost that name (a file with another link left
// then goes unseen) or where it lies outside this process's view of the mounts. Never throws.
std::vector<KernelHold> kernelHolds();

// The swap files in `table`, in the form of /proc/swaps: a header line, then one line per swap
// area whose first field is its path, with space, tab, line feed and backslash written as "\ooo",
// and whose second is its type. Partitions are not files and are left out. The kernel appends
// " (deleted)" to the path of a file whose name was removed, and a name may end so as well: the
// entry at the path exactly as written counts, never one at the name without the mark, which is
// another file if any. Never throws.
std::vector<KernelHold> swapFileHolds(const QByteArray& table);

} // namespace orvalink::platform
