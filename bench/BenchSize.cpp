// Prints the byte total that ScanService::directorySize gives for DIR, like `du -s -B1`: the total
// first, then a tab and the directory. Hidden files count, as they do for du.
//
//   orvalink-bench-size DIR [--threads N]
//
// N defaults to the default of the scan-concurrency setting.

#include "diskops/ScanService.h"
#include "model/AppConfig.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
int usage()
{
    std::fputs("usage: orvalink-bench-size DIR [--threads N]\n", stderr);
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    // No QCoreApplication: the program should cost no more to start than the tools it is compared with.
    int threads = orvalink::effectiveScanConcurrency(orvalink::AppConfig::defaults(QStringLiteral("bench")));
    const char* directory = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
            if (threads < 1)
                return usage();
        } else if (!directory && argv[i][0] != '-') {
            directory = argv[i];
        } else {
            return usage();
        }
    }
    if (!directory)
        return usage();
    const qint64 total = orvalink::ScanService(threads).directorySize(QFile::decodeName(directory), true);
    std::printf("%lld\t%s\n", static_cast<long long>(total), directory);
    return 0;
}
