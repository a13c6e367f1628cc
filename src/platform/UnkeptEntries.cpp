#include "platform/UnkeptEntries.h"

#include "platform/EntryIdentity.h"
#include "platform/EntryLocation.h"
#include "platform/ExtendedAttributes.h"
#include "platform/TreeWalker.h"

#include <QSet>
#include <algorithm>
#include <vector>

namespace orvalink::platform {

namespace {

// Thrown into the walk once an entry is found: nothing after it matters.
struct Found {};

class UnkeptFinder : public TreeVisitor {
public:
    explicit UnkeptFinder(VolumeProbe& probe) : m_probe(probe), m_abilities(probe.abilities()) {}

    std::optional<UnkeptEntry> found;

private:
    bool enterDirectory(const WalkEntry& entry, int) override
    {
        look(entry);
        m_folders.emplace_back();
        return true;
    }
    void visitEntry(const WalkEntry& entry) override { look(entry); }
    void leaveDirectory(const WalkEntry&, int) override { m_folders.pop_back(); }
    // What cannot be read is the copy's to report, with its own error.
    void walkFailed(const WalkEntry&, int) override {}

    void look(const WalkEntry& entry)
    {
        if (const std::optional<Unkept> what = unkept(entry)) {
            found = UnkeptEntry{*what, entry.path()};
            throw Found{};
        }
    }

    std::optional<Unkept> unkept(const WalkEntry& entry)
    {
        const struct stat& info = entry.info;
        if (!m_probe.keepsName(entry.name))
            return Unkept::names;
        if (!m_abilities.tellsCaseApart && entry.depth > 0 && !isNew(m_folders.back(), entry.name))
            return Unkept::caseOnlyNames;
        if (S_ISLNK(info.st_mode) && !m_abilities.keepsSymbolicLinks)
            return Unkept::symbolicLinks;
        if (S_ISFIFO(info.st_mode) && !m_abilities.keepsSpecialFiles)
            return Unkept::specialFiles;
        // Only a second name inside the tree needs a hard link on the volume.
        if (S_ISREG(info.st_mode) && info.st_nlink > 1 && !m_abilities.keepsHardLinks) {
            if (m_multiplyLinked.contains(EntryIdentity::of(info)))
                return Unkept::hardLinks;
            m_multiplyLinked.insert(EntryIdentity::of(info));
        }
        if (!S_ISLNK(info.st_mode) && !m_abilities.keepsModes &&
            (info.st_mode & 07777) != (S_ISDIR(info.st_mode) ? m_abilities.folderMode : m_abilities.fileMode))
            return Unkept::modes;
        if (!m_abilities.keepsOwners &&
            (info.st_uid != m_abilities.owner || info.st_gid != m_abilities.group))
            return Unkept::owners;
        if ((S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) &&
            (!m_abilities.keepsUserAttributes || !m_abilities.keepsAccessControlLists))
            return unkeptAttribute(entry);
        return std::nullopt;
    }

    static bool isNew(QSet<QString>& folded, const QByteArray& name)
    {
        const QString key = QString::fromUtf8(name).toCaseFolded();
        if (folded.contains(key))
            return false;
        folded.insert(key);
        return true;
    }

    std::optional<Unkept> unkeptAttribute(const WalkEntry& entry) const
    {
        const QList<QByteArray> names = attributeNamesAt(entry.parentFd, entry.name.constData());
        const auto any = [&names](const char* prefix) {
            return std::any_of(names.cbegin(), names.cend(),
                               [prefix](const QByteArray& name) { return name.startsWith(prefix); });
        };
        if (!m_abilities.keepsUserAttributes && any("user."))
            return Unkept::extendedAttributes;
        if (!m_abilities.keepsAccessControlLists && any("system.posix_acl_"))
            return Unkept::accessControlLists;
        return std::nullopt;
    }

    VolumeProbe& m_probe;
    const VolumeAbilities m_abilities;
    std::vector<QSet<QString>> m_folders; // the case-folded names met so far in each open folder
    QSet<EntryIdentity> m_multiplyLinked;
};

} // namespace

std::optional<UnkeptEntry> firstUnkeptEntry(const QString& path, VolumeProbe& probe)
{
    if (!probe.isValid() || probe.abilities().keepsEverything())
        return std::nullopt;
    const EntryLocation location = EntryLocation::open(path);
    UnkeptFinder finder(probe);
    try {
        walkTree(location.parent.get(), location.name, location.path, finder);
    } catch (const Found&) {
        // The finder stopped the walk at what it found.
    }
    return finder.found;
}

} // namespace orvalink::platform
