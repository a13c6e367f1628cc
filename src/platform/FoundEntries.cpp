#include "platform/FoundEntries.h"

#include "platform/EntryLocation.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/TreeWalker.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace orvalink::platform {

namespace {

class EntryCount : public TreeVisitor {
public:
    qint64 count() const { return m_count; }

    bool enterDirectory(const WalkEntry&, int) override
    {
        noteInParent();
        m_holdsSomething.push_back(false);
        return true;
    }
    void visitEntry(const WalkEntry&) override
    {
        noteInParent();
        ++m_count;
    }
    void leaveDirectory(const WalkEntry&, int) override
    {
        if (!m_holdsSomething.back())
            ++m_count;
        m_holdsSomething.pop_back();
    }
    // An entry the walk could not look into is found all the same, as one; one gone meanwhile is not.
    void walkFailed(const WalkEntry&, int errorNumber) override
    {
        if (errorNumber == ENOENT)
            return;
        noteInParent();
        ++m_count;
    }

private:
    void noteInParent()
    {
        if (!m_holdsSomething.empty())
            m_holdsSomething.back() = true;
    }

    qint64 m_count = 0;
    // For each directory entered and not yet left: whether anything was found in it.
    std::vector<bool> m_holdsSomething;
};

} // namespace

qint64 countFoundEntries(const QStringList& paths)
{
    QStringList standard;
    for (const QString& path : paths)
        standard.append(standardizedPath(path));
    standard.removeDuplicates();
    EntryCount count;
    for (const QString& path : std::as_const(standard)) {
        const bool belowAnother = std::any_of(standard.cbegin(), standard.cend(), [&](const QString& other) {
            return other != path && isSameOrDescendant(path, other);
        });
        if (belowAnother)
            continue;
        try {
            const EntryLocation entry = EntryLocation::open(path);
            walkTree(entry.parent.get(), entry.name, entry.path, count);
        } catch (const PlatformError&) {
            // "/" itself, or a place whose folder is gone: nothing found there.
        }
    }
    return count.count();
}

} // namespace orvalink::platform
