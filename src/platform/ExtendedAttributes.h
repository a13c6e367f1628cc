#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

namespace orvalink::platform {

// The extended attributes a copy could not carry over because the destination refused them (a
// file system without extended attributes or ACLs, such as vfat), gathered over a whole copy.
struct RefusedAttributes {
    QSet<QByteArray> names; // "user.xdg.comment", "system.posix_acl_access", ...
    qint64 entryCount = 0;  // entries that lost at least one attribute
    QString firstPath;      // the smallest destination path among them, so the report is stable

    bool isEmpty() const { return entryCount == 0; }
    void add(const QSet<QByteArray>& refused, const QString& path);
    void merge(const RefusedAttributes& other);
    // "name, name (N items, first: path)", names sorted.
    QString describe() const;
};

// Whether the destination's answer `error` to writing the attribute `name` is a refusal that the
// copy may note and go on: "not supported" (a file system without attributes or ACLs), or a
// permission error for the trusted.* and security.* namespaces, which the process may not be
// allowed to write. Anything else (no space, too big, an invalid value, a permission error for
// user.* or an ACL) is a failure of the copy: the data must not be taken for whole without it.
bool isRefusedAttribute(const QByteArray& name, int error);

// Copies the extended attributes of the open entry `from` to the open entry `to`: "user.*", the
// POSIX ACLs ("system.posix_acl_access", "system.posix_acl_default") and, when `asRoot`, "trusted.*"
// and "security.*" (file capabilities among them, so call it after any change of owner, which
// clears them). Call it before the entry gets a mode that may forbid its owner to write.
// Names the destination refuses (isRefusedAttribute) are added to `refused`; answers 0, or the
// errno of a failure that is no refusal. A source file system without extended attributes is no
// failure.
int copyExtendedAttributes(int from, int to, bool asRoot, QSet<QByteArray>& refused);

// The same for entries that cannot be opened for this (symbolic links, FIFOs), each addressed by a
// directory descriptor and a name; the last component is never followed.
int copyExtendedAttributesAt(int fromDirectory, const char* fromName, int toDirectory, const char* toName,
                             bool asRoot, QSet<QByteArray>& refused);

// The names of the extended attributes of the entry `name` in the directory open at `directory` (the
// last component never followed); none where its file system has no attributes or they cannot be
// read.
QList<QByteArray> attributeNamesAt(int directory, const char* name);

} // namespace orvalink::platform
