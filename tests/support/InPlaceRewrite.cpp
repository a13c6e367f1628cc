#include "support/InPlaceRewrite.h"

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

bool isLater(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

} // namespace

bool rewriteInPlace(const QString& path, bool timesPutBack)
{
    const platform::UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC));
    struct stat before {};
    if (!fd.isValid() || ::fstat(fd.get(), &before) != 0)
        return false;
    QByteArray content(qsizetype(before.st_size), '\0');
    if (::pread(fd.get(), content.data(), size_t(content.size()), 0) != before.st_size)
        return false;
    for (char& byte : content)
        byte = char(~byte);
    // A change time further ahead tells of a clock set back: waiting would not end.
    timespec now{};
    do
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    while (!isLater(now, before.st_ctim) && before.st_ctim.tv_sec - now.tv_sec < 2);
    if (::pwrite(fd.get(), content.constData(), size_t(content.size()), 0) != before.st_size)
        return false;
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    return !timesPutBack || ::futimens(fd.get(), times) == 0;
}

} // namespace orvalink::test
