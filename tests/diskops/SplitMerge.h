#pragma once

#include "platform/UniqueFd.h"
#include "support/FileOpenGate.h"
#include "support/ImmutableFlag.h"

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <optional>

namespace orvalink::test {

// A merge of the user's folder into the restored data that fails halfway and cannot be put back, as
// on a disk that begins to refuse changes in the middle of it. The folder `occupant` gets two
// folders of its own, "sub" and "notes", with one file each (files()); the restored data at
// `restored` is to have folders of those names as well. As the merge lists whichever of the two it
// comes to second, both folders of `restored` turn immutable: the file that came from the first
// cannot go back, and the second cannot come in. The watch follows the occupant folder where it is
// set aside. Needs root (fanotify permission events, the immutable attribute); skipReason() says
// why not. thaw(), or the end of the object, lets everything through again.
class SplitMerge {
public:
    SplitMerge(const QString& occupant, const QString& restored);
    ~SplitMerge();
    SplitMerge(const SplitMerge&) = delete;
    SplitMerge& operator=(const SplitMerge&) = delete;

    std::optional<QString> skipReason() const;
    // Whether a merge came so far that the restored folders turned immutable.
    bool split() const { return m_split; }
    // The restored folders can be changed again, and stay so.
    void thaw();

    // The occupant's files this adds, relative to it.
    static QStringList files();

private:
    void atOpen();

    QString m_restored;
    std::array<platform::UniqueFd, 2> m_folders; // the occupant's two folders, wherever it is moved
    std::array<std::optional<ImmutableFlag>, 2> m_frozen;
    std::atomic<bool> m_split = false;
    std::atomic<bool> m_thawed = false;
    std::optional<QString> m_skipReason;
    std::optional<FileOpenGate> m_gate;
};

} // namespace orvalink::test
