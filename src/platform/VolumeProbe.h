#pragma once

#include "platform/MountTable.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>
#include <sys/stat.h>
#include <sys/types.h>

namespace orvalink::platform {

// What of a folder a volume may fail to keep as it is.
enum class Unkept {
    modes,              // every file and folder gets the volume's own mode
    owners,             // every entry gets the volume's own owner (a copy gives owners only as root)
    symbolicLinks,      //
    hardLinks,          // several names of one file
    specialFiles,       // FIFOs
    extendedAttributes, // user.* attributes
    accessControlLists, // POSIX ACLs
    names,              // a character or form of a name is refused or changed
    caseOnlyNames,      // two names that differ only in case name one entry there
};

// What a folder on a volume keeps of what is written to it, as tried there (see VolumeProbe).
struct VolumeAbilities {
    bool keepsModes = true;
    // Where modes are not kept: the mode a new file, and a new folder, has there whatever is asked.
    mode_t fileMode = 0;
    mode_t folderMode = 0;
    // Tried only as root, the only one a copy gives owners for. Where not kept: the owner every new
    // entry has there.
    bool keepsOwners = true;
    uid_t owner = 0;
    gid_t group = 0;
    bool keepsSymbolicLinks = true;
    bool keepsHardLinks = true;
    bool keepsSpecialFiles = true;
    bool keepsUserAttributes = true;
    bool keepsAccessControlLists = true;
    // Two names that differ only in case name two entries.
    bool tellsCaseApart = true;
    // The characters and forms of names that small disks refuse or change all came back as written.
    bool keepsAllNames = true;

    bool keepsEverything() const;
};

// Learns what a volume keeps by trying it: in a hidden folder of its own made in `folder` (an
// existing folder on the volume, where the data would go), it sets modes (and, as root, owners),
// makes a link, a hard link and a FIFO, writes a user attribute and an ACL, and creates names with
// the characters and forms that FAT, exFAT and NTFS refuse or change, each read back. The hidden
// folder is removed with everything in it when the probe dies, and `folder` gets back the times it
// had; what a probe killed there left is removed first (see removeProbeLeftovers).
//
// `folder` must lie on the mount `volume`, or on one mounted below its mount point: the mount is
// told by the id the kernel gives it, not by a device number (btrfs gives its volumes and
// subvolumes device numbers the mount table does not show). One that leads elsewhere (a link put in
// its place), or whose mount cannot be told, is left untouched: untold() says why. Not valid then,
// nor when nothing can be tried there (the folder refuses new entries): whatever moves there meets
// the same refusal.
class VolumeProbe {
public:
    VolumeProbe(const QString& folder, const MountEntry& volume);
    ~VolumeProbe();
    VolumeProbe(const VolumeProbe&) = delete;
    VolumeProbe& operator=(const VolumeProbe&) = delete;

    bool isValid() const { return m_valid; }
    const VolumeAbilities& abilities() const { return m_abilities; }
    // Why nothing was tried: which mount `folder` lies on could not be told, or it is not the
    // volume's. None when the folder lies on the volume.
    const std::optional<QString>& untold() const { return m_untold; }
    // The mount the folder lies on: the volume's own, or one mounted below it.
    const MountEntry& mount() const { return m_mount; }

    // Whether an entry named `name` is found under that very name there. Where the volume keeps all
    // names, true at once; else each character outside plain ASCII, and a leading or trailing space
    // or trailing dot, is tried once (by a file named with it) and remembered.
    bool keepsName(const QByteArray& name);

private:
    // Learns which mount the folder lies on; false, with m_untold set, unless it is the volume's.
    bool placeOn(const MountEntry& volume);
    void tryModes();
    void tryOwners();
    void tryLinks();
    void tryAttributes();
    void tryNames();
    // Creates a file named `name` in the names folder and lists it: true when exactly that name is
    // found. The folder is emptied again.
    bool tryName(const QByteArray& name);
    bool keepsPiece(const QByteArray& piece, const QByteArray& asName);

    QString m_path;
    UniqueFd m_parent;
    std::optional<QString> m_untold;
    MountEntry m_mount;
    struct stat m_parentBefore {};
    bool m_made = false;
    QByteArray m_name; // of the hidden folder in the parent
    UniqueFd m_folder;
    UniqueFd m_names; // a folder of its own for names, so that one listing shows what a try made
    bool m_valid = false;
    VolumeAbilities m_abilities;
    QHash<QByteArray, bool> m_pieces; // characters and forms tried, and whether they were kept
};

} // namespace orvalink::platform
