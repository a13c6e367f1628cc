// Moves SRC to DST with the platform move, as the migration does, and prints what it carried and
// how long it took. Across file systems this is the copy, the flush (syncfs) and the removal of the
// source. Usage: orvalink-bench-move SRC DST
// The last line reads "bytes N seconds S": the regular files' data (each hard-linked file once)
// and the wall time of the move alone, not of counting the bytes beforehand.

#include "platform/FileMove.h"
#include "platform/PlatformError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <cstdio>
#include <fts.h>
#include <sys/stat.h>
#include <utility>

using namespace orvalink;

namespace {

struct TreeSize {
    qint64 bytes = 0;
    qint64 entries = 0;
};

// Counts without following links, each hard-linked file once.
TreeSize measure(const QString& root)
{
    TreeSize size;
    QByteArray path = QFile::encodeName(root);
    char* roots[] = {path.data(), nullptr};
    FTS* walk = ::fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR | FTS_XDEV, nullptr);
    if (!walk)
        return size;
    QSet<std::pair<dev_t, ino_t>> seen;
    while (const FTSENT* entry = ::fts_read(walk)) {
        if (entry->fts_info == FTS_DP)
            continue;
        ++size.entries;
        const struct stat* info = entry->fts_statp;
        if (entry->fts_info != FTS_F || !S_ISREG(info->st_mode))
            continue;
        if (info->st_nlink > 1) {
            const std::pair<dev_t, ino_t> key{info->st_dev, info->st_ino};
            if (seen.contains(key))
                continue;
            seen.insert(key);
        }
        size.bytes += info->st_size;
    }
    ::fts_close(walk);
    return size;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SRC DST\n", argv[0]);
        return 2;
    }
    const QString source = QFile::decodeName(argv[1]);
    const QString destination = QFile::decodeName(argv[2]);
    const TreeSize size = measure(source);

    QElapsedTimer timer;
    timer.start();
    try {
        // As a migration moves: what changed while the copy ran is looked for and copied again.
        platform::MoveHooks hooks;
        hooks.copyChangesAgain = !qEnvironmentVariableIsSet("ORVALINK_BENCH_NO_SECOND_LOOK");
        // and a source entry goes only while its copy stands at the destination.
        hooks.copyStaysAtDestination = hooks.copyChangesAgain;
        const platform::MoveResult result = platform::moveItem(source, destination, hooks);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (!result.sourceFullyRemoved())
            std::fprintf(stderr, "left at the source: %s\n",
                         qPrintable(result.leftoverPaths.join(QLatin1Char(' '))));
        std::printf("entries %lld across file systems %s\n", static_cast<long long>(size.entries),
                    result.copiedAcrossFileSystems ? "yes" : "no");
        std::printf("bytes %lld seconds %.3f\n", static_cast<long long>(size.bytes), seconds);
    } catch (const platform::PlatformError& error) {
        std::fprintf(stderr, "move failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
