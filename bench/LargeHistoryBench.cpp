// Reading a large migration history: the former whole-file reads against the streaming reads, side
// by side in one run. Usage:
//   orvalink-bench-large-history [MiB=256] [--dir DIR] [--former-limit-mib N]
// Writes a valid mappings.jsonl of about MiB mebibytes into a temporary folder (under DIR when
// given; removed afterwards), then measures each way of reading it in a child process of its own,
// so that each peak memory figure is that way's alone. --former-limit-mib caps the address space
// of the former ways (which hold the whole file several times over), so that a large file ends
// them with "out of memory" instead of pressing on the machine.

#include "BenchSupport.h"
#include "diskops/LinkRepairService.h"
#include "diskops/MappingHistory.h"
#include "diskops/PathMappingService.h"
#include "diskops/VolumeService.h"
#include "model/AppPaths.h"
#include "platform/FileIO.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/history/PersistedStateReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <new>
#include <sys/resource.h>

using namespace orvalink;

namespace {

// One line per measurement from the child: "<ms> <blocked ms> <peak KiB> <result>".
struct Outcome {
    double milliseconds = 0;
    double blockedMilliseconds = 0;
    QString result;
};

long peakKiB()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// About `mebibytes` of mappings as a long use writes them: appended in time order (three to a
// second), one in eleven updated later, each source path recorded about four times.
qint64 writeHistory(const QString& path, qint64 mebibytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the history");
    const qint64 wanted = mebibytes << 20;
    const QDateTime start = QDateTime(QDate(2021, 1, 1), QTime(0, 0), QTimeZone::utc());
    const qint64 distinct = std::max<qint64>(1, wanted / 350 / 4); // a line is about 350 bytes
    QByteArray batch;
    qint64 written = 0;
    qint64 lines = 0;
    for (; written + batch.size() < wanted; ++lines) {
        LinkMapping mapping;
        mapping.id = QUuid::createUuid();
        const qint64 folder = lines % distinct;
        mapping.sourcePath = QStringLiteral("/home/bench/Projects/area-%1/folder-%2/Library Cache")
                                 .arg(folder % 97)
                                 .arg(folder);
        mapping.targetPath = QStringLiteral("/media/bench/External/Store") + mapping.sourcePath;
        mapping.anchorUser = QStringLiteral("bench");
        mapping.volumeUUID = QStringLiteral("3F2A-91C4");
        mapping.createdAt = start.addSecs(lines / 3);
        mapping.updatedAt =
            lines % 11 == 0 ? mapping.createdAt.addSecs(3600 * ((lines * 7919) % 48)) : mapping.createdAt;
        batch += JSONLStore::encodeLine(mapping.toJson()) + '\n';
        if (batch.size() > (4 << 20)) {
            written += file.write(batch);
            batch.clear();
        }
    }
    written += file.write(batch);
    return lines;
}

// The former reads: the whole file in memory, split into a list of lines, every record decoded.
QList<LinkMapping> formerLoadAll(const QString& path)
{
    const QByteArray content = platform::readWholeFile(path);
    QList<QByteArray> lines;
    for (const QByteArray& piece : content.split('\n')) {
        const QByteArray line = piece.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    QList<LinkMapping> records;
    for (const QByteArray& line : lines) {
        if (auto record = JSONLStore::decodeLine<LinkMapping>(line))
            records.append(std::move(*record));
    }
    return records;
}

void formerSort(QList<LinkMapping>& mappings)
{
    std::stable_sort(mappings.begin(), mappings.end(), [](const LinkMapping& lhs, const LinkMapping& rhs) {
        return lhs.recency() > rhs.recency();
    });
}

double since(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// The former reload, all of it on the window's thread: every mapping published, then the whole
// file read again for the undo history.
Outcome formerWindow(const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    QList<LinkMapping> migrated = formerLoadAll(path);
    formerSort(migrated);
    QList<LinkMapping> undo = formerLoadAll(path);
    formerSort(undo);
    undo.resize(std::min<qsizetype>(undo.size(), 300));
    const double ms = since(clock);
    return {ms, ms, QStringLiteral("%1 listed").arg(migrated.size())};
}

// The state object as the window builds it, with a 1 ms timer on its thread: the longest the
// thread went without serving the timer (construction included) is how long the window would not
// answer.
Outcome streamingWindow()
{
    QElapsedTimer clock;
    clock.start();
    MainViewModel viewModel;
    const double built = since(clock);
    double longest = built;
    double last = longest;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const double now = since(clock);
        longest = std::max(longest, now - last);
        last = now;
    });
    ticks.start();
    bench::waitUntil([&] { return !viewModel.persisted().isReloading(); }, "the history's publication",
                     std::chrono::minutes(10));
    const double published = since(clock);
    longest = std::max(longest, published - last);
    return {published, longest,
            QStringLiteral("%1 of %2 shown, built in %3 ms")
                .arg(viewModel.history().migratedMappings().size())
                .arg(viewModel.history().migratedMappingCount())
                .arg(built, 0, 'f', 1)};
}

Outcome formerUndoLast(const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    QList<LinkMapping> mappings = formerLoadAll(path);
    formerSort(mappings);
    return {since(clock), 0, mappings.constFirst().sourcePath.section(QLatin1Char('/'), -2, -2)};
}

Outcome streamingUndoLast()
{
    QElapsedTimer clock;
    clock.start();
    const QList<LinkMapping> newest = newestMappings(MappingStore(), 1);
    return {since(clock), 0, newest.constFirst().sourcePath.section(QLatin1Char('/'), -2, -2)};
}

Outcome formerRepair(const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    const QList<LinkMapping> distinct = LinkRepairService::deduplicatedMappings(formerLoadAll(path));
    const QList<LinkMapping> batch = distinct.mid(0, LinkRepairService::maxRepairItemsPerRun);
    return {since(clock), 0, QStringLiteral("%1 of %2 distinct").arg(batch.size()).arg(distinct.size())};
}

// The whole repair call, the 600 links examined included (their sources do not exist).
Outcome streamingRepair()
{
    QElapsedTimer clock;
    clock.start();
    const MappingStore mappings;
    const VolumeService volumes;
    LogService log(AppPaths::logsFile());
    const PathMappingService pathMapping;
    const RepairSummary summary = LinkRepairService(mappings, volumes, log, pathMapping).repairBrokenLinks();
    return {since(clock), 0,
            QStringLiteral("%1 of %2 distinct").arg(summary.scannedCount).arg(summary.totalCount)};
}

// Removing one record (as an undo does): the former rewrite built the whole new file in memory.
Outcome formerRewrite(const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    const QByteArray content = platform::readWholeFile(path);
    QList<QByteArray> kept;
    qsizetype seen = 0;
    for (const QByteArray& piece : content.split('\n')) {
        const QByteArray line = piece.trimmed();
        if (!line.isEmpty() && seen++ != 1000)
            kept.append(line);
    }
    JSONLStore::writeLines(path, kept);
    return {since(clock), 0, QStringLiteral("%1 lines kept").arg(kept.size())};
}

Outcome streamingRewrite(const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype seen = 0;
    const qsizetype removed =
        JSONLStore::rewriteWithout(path, [&](const QByteArray&) { return seen++ == 1000; });
    return {since(clock), 0, QStringLiteral("%1 line removed").arg(removed)};
}

Outcome measure(const QString& mode, const QString& path)
{
    if (mode == QLatin1String("window-former"))
        return formerWindow(path);
    if (mode == QLatin1String("window-streaming"))
        return streamingWindow();
    if (mode == QLatin1String("undo-last-former"))
        return formerUndoLast(path);
    if (mode == QLatin1String("undo-last-streaming"))
        return streamingUndoLast();
    if (mode == QLatin1String("repair-former"))
        return formerRepair(path);
    if (mode == QLatin1String("repair-streaming"))
        return streamingRepair();
    if (mode == QLatin1String("rewrite-former"))
        return formerRewrite(path);
    if (mode == QLatin1String("rewrite-streaming"))
        return streamingRewrite(path);
    return {0, 0, QStringLiteral("nothing (baseline)")};
}

// The child: one measurement, printed as one line.
int child(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const qint64 limitMiB = QByteArray(argv[3]).toLongLong();
    if (limitMiB > 0) {
        const rlimit limit{rlim_t(limitMiB) << 20, rlim_t(limitMiB) << 20};
        setrlimit(RLIMIT_AS, &limit);
    }
    const QString path = MappingStore().filePath();
    try {
        const Outcome outcome = measure(mode, path);
        std::printf("%.1f %.1f %ld %s\n", outcome.milliseconds, outcome.blockedMilliseconds, peakKiB(),
                    qPrintable(outcome.result));
    } catch (const std::bad_alloc&) {
        std::printf("- - %ld out of memory\n", peakKiB());
    }
    return 0;
}

QString figure(const QString& value, const char* unit)
{
    return value == QLatin1String("-") ? QStringLiteral("-") : value + QLatin1Char(' ') + QLatin1String(unit);
}

int parent(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    QString directory = QDir::tempPath();
    qint64 formerLimitMiB = 0;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--dir"));
        at > 0 && at + 1 < arguments.size()) {
        directory = arguments.at(at + 1);
        arguments.remove(at, 2);
    }
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--former-limit-mib"));
        at > 0 && at + 1 < arguments.size()) {
        formerLimitMiB = arguments.at(at + 1).toLongLong();
        arguments.remove(at, 2);
    }
    const qint64 mebibytes = arguments.size() > 1 ? arguments.at(1).toLongLong() : 256;

    QTemporaryDir root(directory + QStringLiteral("/orvalink-large-history-XXXXXX"));
    bench::useTemporaryHome(root.path());
    const QString path = MappingStore().filePath();
    QElapsedTimer clock;
    clock.start();
    const qint64 lines = writeHistory(path, mebibytes);
    std::printf("mappings.jsonl: %lld bytes, %lld lines (written in %.1f s)\n", QFileInfo(path).size(), lines,
                since(clock) / 1000.0);
    std::printf("%-22s %14s %14s %12s  %s\n", "way", "time to result", "thread blocked", "peak memory",
                "result");
    const QStringList modes{"baseline",         "window-former",       "window-streaming",
                            "undo-last-former", "undo-last-streaming", "repair-former",
                            "repair-streaming", "rewrite-former",      "rewrite-streaming"};
    for (const QString& mode : modes) {
        const bool former = mode.endsWith(QLatin1String("-former"));
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(app.applicationFilePath(),
                      {QStringLiteral("--measure"), mode, QString::number(former ? formerLimitMiB : 0)});
        process.waitForFinished(-1);
        const QStringList fields =
            QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed().split(' ');
        if (fields.size() < 4) {
            std::printf("%-22s failed (exit %d)\n", qPrintable(mode), process.exitCode());
            continue;
        }
        const QString blocked =
            mode.startsWith(QLatin1String("window")) ? figure(fields.at(1), "ms") : QString();
        std::printf("%-22s %14s %14s %8.0f MiB  %s\n", qPrintable(mode),
                    qPrintable(figure(fields.at(0), "ms")), qPrintable(blocked),
                    fields.at(2).toDouble() / 1024.0, qPrintable(fields.mid(3).join(QLatin1Char(' '))));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 3 && QByteArray(argv[1]) == "--measure")
        return bench::runReportingTimeouts([&] { return child(argc, argv); });
    return parent(argc, argv);
}
