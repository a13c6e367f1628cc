#include "platform/VolumeProbe.h"

#include "platform/ProbeLeftovers.h"
#include "platform/StandardPath.h"
#include "platform/TreeRemoval.h"
#include "platform/TreeWalker.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

// What small disks refuse in a name (FAT, exFAT, NTFS in its Windows mode) or change without a word
// (FAT drops a trailing dot or space), with a character outside ASCII and a byte that is no UTF-8.
constexpr std::array kHardPieces{":", "?", "*", "\"", "<", ">", "|", "\\", "\x01", "\xC3\xA9", "\xFF"};
constexpr std::array kHardForms{"o.", "o ", " o"};

// A minimal access ACL (owner rw-, group r--, others r--) in the kernel's xattr layout.
QByteArray minimalAcl()
{
    struct Entry {
        quint16 tag;
        quint16 permissions;
        quint32 id;
    };
    const quint32 version = 2;
    const std::array<Entry, 3> entries{{{0x01, 6, 0xFFFFFFFF}, {0x04, 4, 0xFFFFFFFF}, {0x20, 4, 0xFFFFFFFF}}};
    QByteArray acl(reinterpret_cast<const char*>(&version), sizeof version);
    acl.append(reinterpret_cast<const char*>(entries.data()), qsizetype(sizeof entries));
    return acl;
}

bool isUnsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

mode_t modeOf(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? info.st_mode & 07777 : mode_t(-1);
}

// Asks for two different modes in turn: kept when both stand afterwards.
bool keepsModesOf(int fd, mode_t first, mode_t second)
{
    for (const mode_t mode : {first, second}) {
        if (::fchmod(fd, mode) != 0 || modeOf(fd) != mode)
            return false;
    }
    return true;
}

bool isPlain(char c)
{
    return c >= 0x20 && c <= 0x7E && !QByteArrayView("\"*/:<>?\\|").contains(c);
}

// The length of the UTF-8 sequence that begins at `at`, or 1 for a byte that begins none.
qsizetype pieceLength(const QByteArray& name, qsizetype at)
{
    const auto lead = uchar(name[at]);
    const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (at + length > name.size())
        return 1;
    for (qsizetype next = at + 1; next < at + length; ++next) {
        if ((uchar(name[next]) & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

} // namespace

bool VolumeAbilities::keepsEverything() const
{
    return keepsModes && keepsOwners && keepsSymbolicLinks && keepsHardLinks && keepsSpecialFiles &&
           keepsUserAttributes && keepsAccessControlLists && tellsCaseApart && keepsAllNames;
}

VolumeProbe::VolumeProbe(const QString& folder, const MountEntry& volume)
    : m_path(folder),
      m_parent(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (!m_parent.isValid() || !placeOn(volume))
        return;
    removeProbeLeftovers(m_parent.get());
    if (::fstat(m_parent.get(), &m_parentBefore) != 0)
        return;
    m_name = probeFolderName(m_parentBefore);
    if (::mkdirat(m_parent.get(), m_name.constData(), 0700) != 0)
        return;
    m_made = true;
    m_folder = UniqueFd(
        ::openat(m_parent.get(), m_name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const bool named = m_folder.isValid() && ::mkdirat(m_folder.get(), "n", 0700) == 0;
    if (named)
        m_names = UniqueFd(::openat(m_folder.get(), "n", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    UniqueFd file(m_folder.isValid() ? ::openat(m_folder.get(), "f",
                                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                                     : -1);
    if (!file.isValid() || !m_names.isValid())
        return;
    m_valid = true;
    file.reset();
    tryModes();
    tryOwners();
    tryLinks();
    tryAttributes();
    tryNames();
}

VolumeProbe::~VolumeProbe()
{
    m_folder.reset();
    m_names.reset();
    if (!m_made)
        return;
    RemovalRules rules;
    rules.makeDirectoriesWritable = true;
    removeTreeAt(m_parent.get(), m_name, m_path + QLatin1Char('/') + QFile::decodeName(m_name), rules);
    // The folder tried in looks as it did: a try leaves no trace. Only where the try moved its times:
    // some drivers cannot set the times of the volume's own root, which keeps none.
    struct stat after {};
    if (::fstat(m_parent.get(), &after) != 0 || (after.st_mtim.tv_sec == m_parentBefore.st_mtim.tv_sec &&
                                                 after.st_mtim.tv_nsec == m_parentBefore.st_mtim.tv_nsec))
        return;
    const struct timespec times[2] = {m_parentBefore.st_atim, m_parentBefore.st_mtim};
    ::futimens(m_parent.get(), times);
}

bool VolumeProbe::placeOn(const MountEntry& volume)
{
    const std::optional<quint64> mountId = mountIdOf(m_parent.get());
    if (!mountId) {
        m_untold = QStringLiteral("the system does not tell which volume it lies on");
        return false;
    }
    const std::optional<MountEntry> mount = MountTable::current().withId(*mountId);
    if (!mount) {
        m_untold = QStringLiteral("it lies on a volume the mount table does not list");
        return false;
    }
    if (!isSameOrDescendant(mount->mountPoint, volume.mountPoint)) {
        m_untold = QStringLiteral("it does not lie on the volume mounted at ") + volume.mountPoint;
        return false;
    }
    m_mount = *mount;
    return true;
}

void VolumeProbe::tryModes()
{
    const UniqueFd file(::openat(m_folder.get(), "f", O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    // Owner-writable last: the names are still tried in the folder afterwards.
    const bool folderKept = keepsModesOf(m_names.get(), 0751, 0700);
    const bool fileKept = file.isValid() && keepsModesOf(file.get(), 0600, 0751);
    m_abilities.keepsModes = folderKept && fileKept;
    m_abilities.folderMode = modeOf(m_names.get());
    m_abilities.fileMode = file.isValid() ? modeOf(file.get()) : mode_t(-1);
}

void VolumeProbe::tryOwners()
{
    struct stat info {};
    const UniqueFd file(::openat(m_folder.get(), "f", O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.isValid() || ::fstat(file.get(), &info) != 0)
        return;
    m_abilities.owner = info.st_uid;
    m_abilities.group = info.st_gid;
    if (::geteuid() != 0)
        return;
    // Another owner than the new file has, and back: kept when the volume shows what was asked.
    const uid_t other = info.st_uid == 1 ? 2 : 1;
    m_abilities.keepsOwners = ::fchown(file.get(), other, other) == 0 && ::fstat(file.get(), &info) == 0 &&
                              info.st_uid == other && info.st_gid == gid_t(other);
    if (::fstat(file.get(), &info) == 0) {
        m_abilities.owner = info.st_uid;
        m_abilities.group = info.st_gid;
    }
}

void VolumeProbe::tryLinks()
{
    const int folder = m_folder.get();
    struct stat info {};
    struct stat original {};
    m_abilities.keepsSymbolicLinks = ::symlinkat("f", folder, "l") == 0 &&
                                     ::fstatat(folder, "l", &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                                     S_ISLNK(info.st_mode);
    m_abilities.keepsHardLinks = ::linkat(folder, "f", folder, "h", 0) == 0 &&
                                 ::fstatat(folder, "h", &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                                 ::fstatat(folder, "f", &original, AT_SYMLINK_NOFOLLOW) == 0 &&
                                 info.st_ino == original.st_ino;
    // A volume without FIFOs may still leave a plain file behind when it refuses one.
    m_abilities.keepsSpecialFiles = ::mkfifoat(folder, "p", 0600) == 0 &&
                                    ::fstatat(folder, "p", &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                                    S_ISFIFO(info.st_mode);
}

void VolumeProbe::tryAttributes()
{
    const UniqueFd file(::openat(m_folder.get(), "f", O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!file.isValid())
        return;
    char value = 0;
    m_abilities.keepsUserAttributes = ::fsetxattr(file.get(), "user.orvalink.probe", "1", 1, 0) == 0 &&
                                      ::fgetxattr(file.get(), "user.orvalink.probe", &value, 1) == 1 &&
                                      value == '1';
    // Only a file system without ACLs says so: any other answer leaves the copy to tell.
    const QByteArray acl = minimalAcl();
    m_abilities.keepsAccessControlLists =
        ::fsetxattr(file.get(), "system.posix_acl_access", acl.constData(), size_t(acl.size()), 0) == 0 ||
        !isUnsupported(errno);
}

void VolumeProbe::tryNames()
{
    const auto create = [this](const char* name) {
        return UniqueFd(
                   ::openat(m_names.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600))
            .isValid();
    };
    const bool lower = create("orvalink-case");
    const bool upper = create("ORVALINK-CASE");
    m_abilities.tellsCaseApart = !(lower && !upper && errno == EEXIST);
    for (const QByteArray& each : folderNames(m_names.get()))
        ::unlinkat(m_names.get(), each.constData(), 0);

    for (const char* piece : kHardPieces)
        m_abilities.keepsAllNames &= keepsPiece(piece, QByteArray("o") + piece + "o");
    for (const char* form : kHardForms)
        m_abilities.keepsAllNames &= keepsPiece(form, form);
}

bool VolumeProbe::keepsPiece(const QByteArray& piece, const QByteArray& asName)
{
    const auto known = m_pieces.constFind(piece);
    if (known != m_pieces.cend())
        return *known;
    const bool kept = tryName(asName);
    m_pieces.insert(piece, kept);
    return kept;
}

bool VolumeProbe::tryName(const QByteArray& name)
{
    // Closed before it goes: FUSE keeps a file removed while open under a hidden name of its own.
    const bool created = UniqueFd(::openat(m_names.get(), name.constData(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600))
                             .isValid();
    const std::vector<QByteArray> found = folderNames(m_names.get());
    for (const QByteArray& each : found)
        ::unlinkat(m_names.get(), each.constData(), 0);
    return created && found.size() == 1 && found.front() == name;
}

bool VolumeProbe::keepsName(const QByteArray& name)
{
    if (m_abilities.keepsAllNames || !m_valid || name.isEmpty())
        return true;
    if (name.endsWith('.') && !keepsPiece("o.", "o."))
        return false;
    if (name.endsWith(' ') && !keepsPiece("o ", "o "))
        return false;
    if (name.startsWith(' ') && !keepsPiece(" o", " o"))
        return false;
    for (qsizetype at = 0; at < name.size();) {
        if (isPlain(name[at])) {
            ++at;
            continue;
        }
        const QByteArray piece = name.mid(at, pieceLength(name, at));
        if (!keepsPiece(piece, "o" + piece + "o"))
            return false;
        at += piece.size();
    }
    return true;
}

} // namespace orvalink::platform
