#include "diskops/OperationSiblings.h"

#include "diskops/ReservedPaths.h"
#include "platform/EntryLocation.h"
#include "platform/TreeWalker.h"

#include <QFile>
#include <fcntl.h>

namespace orvalink {

namespace {

class SiblingSearch : public platform::TreeVisitor {
public:
    SiblingSearch(const QString& root, const QUuid& operation) : m_root(root), m_operation(operation) {}

    // Notes `name`, met in the folder at `parentRelative` below the root; true when it is one.
    bool note(const QByteArray& parentRelative, const QByteArray& name)
    {
        const QString text = QFile::decodeName(name);
        QStringList* list = nullptr;
        if (isOperationReservedName(text, ReservedSuffix::appendPreserved, m_operation))
            list = &found.olderVersions;
        else if (isOperationReservedName(text, ReservedSuffix::arriving, m_operation))
            list = &found.arriving;
        if (list)
            list->append(m_root + QLatin1Char('/') + QFile::decodeName(parentRelative) + text);
        return list != nullptr;
    }

    bool enterDirectory(const platform::WalkEntry& entry, int) override
    {
        return entry.depth == 0 || !note(entry.parentRelative, entry.name);
    }
    void visitEntry(const platform::WalkEntry& entry) override { note(entry.parentRelative, entry.name); }
    void leaveDirectory(const platform::WalkEntry&, int) override {}
    void walkFailed(const platform::WalkEntry&, int) override {}

    OperationSiblings found;

private:
    const QString& m_root;
    const QUuid& m_operation;
};

} // namespace

OperationSiblings findOperationSiblings(const QString& root, const QUuid& operation)
{
    OperationSiblings found;
    try {
        const platform::EntryLocation location = platform::EntryLocation::open(root);
        // Beside the root itself, in its parent.
        const platform::UniqueFd parent(
            ::openat(location.parent.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const QString parentPath = root.left(root.lastIndexOf(QLatin1Char('/')));
        SiblingSearch beside(parentPath, operation);
        if (parent.isValid()) {
            for (const QByteArray& name : platform::folderNames(parent.get())) {
                if (isReservedPathOf(root, parentPath + QLatin1Char('/') + QFile::decodeName(name),
                                     ReservedSuffix::appendPreserved) ||
                    isReservedPathOf(root, parentPath + QLatin1Char('/') + QFile::decodeName(name),
                                     ReservedSuffix::arriving))
                    beside.note(QByteArray(), name);
            }
        }
        found = std::move(beside.found);
        SiblingSearch below(root, operation);
        platform::walkTree(location.parent.get(), location.name, location.path, below);
        found.olderVersions += below.found.olderVersions;
        found.arriving += below.found.arriving;
    } catch (const std::exception&) {
        // What cannot be read is passed over.
    }
    return found;
}

} // namespace orvalink
