#include "platform/RingFiles.h"

#include "platform/MountTable.h"
#include "platform/ProcessFolder.h"

#include <QList>
#include <chrono>
#include <optional>
#include <thread>

namespace orvalink::platform {

namespace {

// The lock is held for a submission or a registration, rarely longer.
constexpr int kTries = 4;
constexpr std::chrono::milliseconds kPause(1);

// The text of a line "<spaces><index>: <text>"; none for a line of another form.
std::optional<QByteArray> entryText(const QByteArray& line)
{
    qsizetype at = 0;
    while (at < line.size() && line[at] == ' ')
        ++at;
    const qsizetype digits = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9')
        ++at;
    if (at == digits || line.mid(at, 2) != ": ")
        return std::nullopt;
    return line.mid(at + 2);
}

// "pipe:[4711]", "socket:[4712]", "anon_inode:[eventfd]"; older kernels name the last "[eventfd]".
bool isPseudoFileName(const QByteArray& text)
{
    return text.endsWith(']') && (text.startsWith('[') || text.contains(":["));
}

} // namespace

RingFiles ringFilesIn(const QByteArray& fdinfo)
{
    const QList<QByteArray> lines = fdinfo.split('\n');
    qsizetype index = 0;
    while (index < lines.size() && !lines[index].startsWith("UserFiles:"))
        ++index;
    if (index == lines.size())
        return RingFiles{RingFiles::Named::notWhileBusy, {}};
    bool counted = false;
    const uint count = lines[index].mid(qsizetype(sizeof "UserFiles:") - 1).trimmed().toUInt(&counted);
    RingFiles files;
    bool listed = false;
    for (++index; index < lines.size(); ++index) {
        const std::optional<QByteArray> text = entryText(lines[index]);
        if (!text)
            break;
        listed = true;
        if (text->startsWith('/'))
            files.paths.push_back(unescapedTablePath(*text));
        else if (!text->isEmpty() && *text != "<none>" && !isPseudoFileName(*text))
            files.named = RingFiles::Named::notByPath;
    }
    if (!listed && (!counted || count > 0))
        files.named = RingFiles::Named::notWhileBusy;
    return files;
}

RingFiles registeredFiles(int threadFd, const char* descriptor)
{
    const QByteArray info = QByteArray("fdinfo/") + descriptor;
    const QByteArray link = QByteArray("fd/") + descriptor;
    for (int attempt = 1;; ++attempt) {
        RingFiles files = ringFilesIn(readProcessFile(threadFd, info.constData()));
        if (files.named != RingFiles::Named::notWhileBusy)
            return files;
        if (readProcessLink(threadFd, link.constData()) != kRingLinkText)
            return {};
        if (attempt == kTries)
            return files;
        std::this_thread::sleep_for(kPause);
    }
}

} // namespace orvalink::platform
