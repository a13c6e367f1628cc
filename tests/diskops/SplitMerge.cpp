#include "SplitMerge.h"

#include "support/TestTree.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>

namespace orvalink::test {

namespace {

constexpr std::array<const char*, 2> kFolders{"sub", "notes"};

QString fileIn(size_t folder)
{
    return QStringLiteral("mine-%1.txt").arg(folder + 1);
}

} // namespace

SplitMerge::SplitMerge(const QString& occupant, const QString& restored) : m_restored(restored)
{
    TestTree tree(occupant);
    for (size_t index = 0; index < kFolders.size(); ++index) {
        const QString folder = QLatin1String(kFolders[index]);
        tree.file(folder + QLatin1Char('/') + fileIn(index), "the user's " + fileIn(index).toUtf8());
        // A path only: opening it is no opening the gate holds.
        m_folders[index].reset(
            ::open(QFile::encodeName(tree.path(folder)).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    // Without the attribute (no root, or a file system that lacks it) nothing could be frozen.
    if (ImmutableFlag probe(tree.path(QLatin1String(kFolders[0]))); !probe.isSet()) {
        m_skipReason = probe.skipReason();
        return;
    }
    m_gate.emplace(
        occupant, [this] { atOpen(); }, FileOpenGate::Openings::filesAndFolders);
    m_skipReason = m_gate->skipReason();
}

SplitMerge::~SplitMerge()
{
    m_gate.reset();
    thaw();
}

std::optional<QString> SplitMerge::skipReason() const
{
    return m_skipReason;
}

void SplitMerge::thaw()
{
    m_thawed = true;
    for (std::optional<ImmutableFlag>& flag : m_frozen)
        flag.reset();
}

QStringList SplitMerge::files()
{
    QStringList files;
    for (size_t index = 0; index < kFolders.size(); ++index)
        files.append(QLatin1String(kFolders[index]) + QLatin1Char('/') + fileIn(index));
    return files;
}

void SplitMerge::atOpen()
{
    if (m_split || m_thawed)
        return;
    // The merge has moved the file of one folder: it is at the other one now.
    bool oneMoved = false;
    for (size_t index = 0; index < kFolders.size(); ++index) {
        struct stat info {};
        oneMoved = oneMoved || ::fstatat(m_folders[index].get(), QFile::encodeName(fileIn(index)).constData(),
                                         &info, AT_SYMLINK_NOFOLLOW) != 0;
    }
    if (!oneMoved)
        return;
    for (size_t index = 0; index < kFolders.size(); ++index)
        m_frozen[index].emplace(m_restored + QLatin1Char('/') + QLatin1String(kFolders[index]));
    m_split = true;
}

} // namespace orvalink::test
