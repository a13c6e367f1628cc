#pragma once

#include <QHashFunctions>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvalink::platform {

// Which file an entry is. Inode numbers alone are not unique where files of one tree report
// different devices (an overlay over several layers): mistaking one file for another would
// hard-link it in its place.
struct EntryIdentity {
    dev_t device;
    ino_t inode;

    static EntryIdentity of(const struct stat& info) { return EntryIdentity{info.st_dev, info.st_ino}; }
    // From an answer of statx that carries the inode (STATX_INO in its mask).
    static EntryIdentity of(const struct statx& info)
    {
        return EntryIdentity{makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino};
    }
    friend bool operator==(const EntryIdentity&, const EntryIdentity&) = default;
    friend size_t qHash(const EntryIdentity& key, size_t seed = 0)
    {
        return qHashMulti(seed, key.device, key.inode);
    }
};

// What a copied entry looked like when the copy took it, to tell later whether it changed.
struct EntryFingerprint {
    off_t size;
    struct timespec modified;
    // What the copy gave it besides its content.
    mode_t mode;
    uid_t owner;
    gid_t group;
    // Moved by anything done to it, its extended attributes and ACLs among them.
    struct timespec changed;

    static EntryFingerprint of(const struct stat& info)
    {
        return EntryFingerprint{info.st_size, info.st_mtim, info.st_mode,
                                info.st_uid,  info.st_gid,  info.st_ctim};
    }
};

} // namespace orvalink::platform
