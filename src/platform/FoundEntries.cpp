#include "platform/FoundEntries.h"

#include "platform/StandardPath.h"
#include "platform/TreeWalker.h"
#include "platform/UniqueFd.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
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

bool liesBelowAnother(const QString& path, const QStringList& paths)
{
    for (const QString& other : paths) {
        if (path.startsWith(other == QLatin1String("/") ? other : other + QLatin1Char('/')))
            return true;
    }
    return false;
}

} // namespace

qint64 countFoundEntries(const QStringList& paths)
{
    QStringList standard;
    for (const QString& path : paths)
        standard.append(standardizedPath(path));
    standard.removeDuplicates();
    EntryCount count;
    for (const QString& path : std::as_const(standard)) {
        if (liesBelowAnother(path, standard))
            continue;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash < 0 || slash == path.size() - 1)
            continue; // "/" itself, which no walk takes
        const UniqueFd parent(::open(QFile::encodeName(slash == 0 ? QStringLiteral("/") : path.left(slash)),
                                     O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!parent.isValid())
            continue;
        walkTree(parent.get(), QFile::encodeName(path.mid(slash + 1)), path, count);
    }
    return count.count();
}

} // namespace orvalink::platform
