#include "platform/FileSweep.h"

#include "platform/FileWorkPool.h"
#include "platform/TreeWalker.h"

#include <QString>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

using Rule = std::function<bool(const struct stat&, const QByteArray&)>;

bool allows(const Rule& mayRemove, const struct stat& info, const QByteArray& relativePath)
{
    return !mayRemove || mayRemove(info, relativePath);
}

class SweepTask : public FileWorkPool::Task {
public:
    explicit SweepTask(const Rule& mayRemove) : m_mayRemove(mayRemove) {}

    std::optional<FileWorkPool::Problem> runFile(int, const FileWorkPool::Place& place,
                                                 const FileWorkPool::File& file) override
    {
        // Whatever fails here stays, for the removal that follows to meet and report.
        struct stat info {};
        if (::fstatat(place.sourceDirectory, file.name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(info.st_mode) && allows(m_mayRemove, info, place.prefix + file.name))
            ::unlinkat(place.sourceDirectory, file.name.constData(), 0);
        return std::nullopt;
    }

    std::optional<FileWorkPool::Problem> completeDirectory(const FileWorkPool::Place&,
                                                           const struct stat&) override
    {
        return std::nullopt; // directories are the removal's own
    }

private:
    const Rule& m_mayRemove;
};

class SweepWalk : public TreeVisitor {
public:
    SweepWalk(const Rule& mayRemove, FileWorkPool& pool) : m_mayRemove(mayRemove), m_pool(pool) {}

    bool enterDirectory(const WalkEntry& entry, int) override
    {
        if (!allows(m_mayRemove, entry.info, entry.relativePath()))
            return false;
        m_pool.enterDirectory(entry.depth == 0 ? QByteArray() : entry.relativePath() + '/', entry.info);
        return true;
    }

    void visitEntry(const WalkEntry& entry) override
    {
        // The worker asks the rule just before the file goes: asking here as well would cost a rule
        // that reads the file twice, and on this one thread.
        if (entry.depth == 0)
            return;
        // A file with several names waits for the removal that follows, on one thread: removing one
        // of its names moves the change time of the others, which the rule of another thread would
        // take for a write while it compares them.
        if (entry.info.st_nlink > 1)
            return;
        // No descriptor left for the directory: its files wait for the removal that follows.
        m_pool.submitFile(
            entry.parentFd, -1,
            FileWorkPool::File{entry.name, EntryIdentity::of(entry.info), 0, std::nullopt, ++m_steps});
    }

    void leaveDirectory(const WalkEntry&, int) override { m_pool.leaveDirectory(++m_steps); }

    void walkFailed(const WalkEntry&, int) override {}

private:
    const Rule& m_mayRemove;
    FileWorkPool& m_pool;
    quint64 m_steps = 0;
};

} // namespace

void sweepFiles(int parentFd, const QByteArray& name, const Rule& mayRemove)
{
    try {
        SweepTask task(mayRemove);
        FileWorkPool pool(task, false);
        SweepWalk walk(mayRemove, pool);
        walkTree(parentFd, name, QString(), walk);
        pool.finish();
    } catch (const std::exception&) {
        // Out of memory at worst: the removal that follows does it all on one thread instead.
    }
}

} // namespace orvalink::platform
