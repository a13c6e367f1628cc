#include "platform/ExtendedAttributes.h"

#include <QList>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <sys/xattr.h>

namespace orvalink::platform {

namespace {

// Reaches one entry's attributes, through a descriptor or through a path that does not follow its
// last component.
struct AttributeAccess {
    std::function<ssize_t(char*, size_t)> list;
    std::function<ssize_t(const char*, void*, size_t)> get;
    std::function<int(const char*, const void*, size_t)> set;
};

bool wanted(const QByteArray& name, bool asRoot)
{
    if (name.startsWith("user."))
        return true;
    if (name == "system.posix_acl_access" || name == "system.posix_acl_default")
        return true;
    // Without root these cannot be written, and reading them would only produce false warnings.
    return asRoot && (name.startsWith("trusted.") || name.startsWith("security."));
}

// A file system that has no extended attributes (or no ACLs) at all answers this.
bool isUnsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP;
}

} // namespace

bool isRefusedAttribute(const QByteArray& name, int error)
{
    if (isUnsupported(error))
        return true;
    // Writing these namespaces takes a capability (or a security module's consent) that the process
    // may lack even as root, for example inside a container.
    const bool guarded = name.startsWith("trusted.") || name.startsWith("security.");
    return guarded && (error == EPERM || error == EACCES);
}

namespace {

// Runs `call` with a buffer that grows until the answer fits. Answers the length, or -1 with errno.
ssize_t readGrowing(QByteArray& buffer, const std::function<ssize_t(char*, size_t)>& call)
{
    for (;;) {
        const ssize_t needed = call(nullptr, 0);
        if (needed <= 0)
            return needed;
        buffer.resize(needed);
        const ssize_t length = call(buffer.data(), size_t(buffer.size()));
        if (length >= 0 || errno != ERANGE) // ERANGE: it grew in between
            return length;
    }
}

int copyWith(const AttributeAccess& from, const AttributeAccess& to, bool asRoot, QSet<QByteArray>& refused)
{
    QByteArray names;
    const ssize_t listed = readGrowing(names, from.list);
    if (listed < 0)
        return isUnsupported(errno) ? 0 : errno; // a source file system without attributes has none
    QByteArray value;
    for (const QByteArray& name : names.left(listed).split('\0')) {
        if (name.isEmpty() || !wanted(name, asRoot))
            continue;
        const ssize_t length = readGrowing(
            value, [&](char* data, size_t size) { return from.get(name.constData(), data, size); });
        if (length < 0) {
            if (errno == ENODATA) // removed since it was listed
                continue;
            return errno;
        }
        if (to.set(name.constData(), value.constData(), size_t(length)) != 0) {
            if (!isRefusedAttribute(name, errno))
                return errno;
            refused.insert(name);
        }
    }
    return 0;
}

QByteArray procPath(int directory, const char* name)
{
    return "/proc/self/fd/" + QByteArray::number(directory) + '/' + name;
}

} // namespace

void RefusedAttributes::add(const QSet<QByteArray>& refused, const QString& path)
{
    if (refused.isEmpty())
        return;
    names.unite(refused);
    if (entryCount == 0 || path < firstPath)
        firstPath = path;
    ++entryCount;
}

void RefusedAttributes::merge(const RefusedAttributes& other)
{
    if (other.isEmpty())
        return;
    names.unite(other.names);
    if (entryCount == 0 || other.firstPath < firstPath)
        firstPath = other.firstPath;
    entryCount += other.entryCount;
}

QString RefusedAttributes::describe() const
{
    QList<QByteArray> sorted(names.cbegin(), names.cend());
    std::sort(sorted.begin(), sorted.end());
    QStringList texts;
    for (const QByteArray& name : sorted)
        texts.append(QString::fromUtf8(name));
    return texts.join(QStringLiteral(", ")) +
           QStringLiteral(" (%1 items, first: %2)").arg(entryCount).arg(firstPath);
}

int copyExtendedAttributes(int from, int to, bool asRoot, QSet<QByteArray>& refused)
{
    const AttributeAccess source{
        [from](char* data, size_t size) { return ::flistxattr(from, data, size); },
        [from](const char* name, void* data, size_t size) { return ::fgetxattr(from, name, data, size); },
        {}};
    const AttributeAccess destination{{}, {}, [to](const char* name, const void* data, size_t size) {
                                          return ::fsetxattr(to, name, data, size, 0);
                                      }};
    return copyWith(source, destination, asRoot, refused);
}

int copyExtendedAttributesAt(int fromDirectory, const char* fromName, int toDirectory, const char* toName,
                             bool asRoot, QSet<QByteArray>& refused)
{
    // The l* calls act on a link itself; the descriptor's own /proc entry stands for the directory.
    const QByteArray fromPath = procPath(fromDirectory, fromName);
    const QByteArray toPath = procPath(toDirectory, toName);
    const AttributeAccess source{
        [&fromPath](char* data, size_t size) { return ::llistxattr(fromPath.constData(), data, size); },
        [&fromPath](const char* name, void* data, size_t size) {
            return ::lgetxattr(fromPath.constData(), name, data, size);
        },
        {}};
    const AttributeAccess destination{{}, {}, [&toPath](const char* name, const void* data, size_t size) {
                                          return ::lsetxattr(toPath.constData(), name, data, size, 0);
                                      }};
    return copyWith(source, destination, asRoot, refused);
}

QList<QByteArray> attributeNamesAt(int directory, const char* name)
{
    const QByteArray path = procPath(directory, name);
    QByteArray names;
    const ssize_t listed = readGrowing(
        names, [&path](char* data, size_t size) { return ::llistxattr(path.constData(), data, size); });
    if (listed <= 0)
        return {};
    QList<QByteArray> all = names.left(listed).split('\0');
    all.removeAll(QByteArray());
    return all;
}

} // namespace orvalink::platform
