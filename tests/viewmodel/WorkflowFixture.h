#pragma once

#include "ViewModelFixture.h"
#include "support/TmpfsMount.h"

#include <memory>

namespace orvalink::test {

// A view model whose target root lies on a tmpfs "External" in the volumes directory, so every
// migration crosses file systems. Strict mode stays on (the home lies below the build tree).
// Volume UUIDs come from fake device folders in the home (setVolumeUUID). Needs root for the
// mount: check skipReason() first.
class WorkflowFixture {
public:
    explicit WorkflowFixture(UILanguage language = UILanguage::english,
                             qint64 volumeBytes = 64 * 1024 * 1024);

    std::optional<QString> skipReason() const;
    QString volumePath() const { return fx.home.volumes() + QStringLiteral("/External"); }
    QString targetRoot() const { return volumePath() + QStringLiteral("/Store"); }
    QString targetOf(const QString& source) const { return targetRoot() + source; }
    void setVolumeUUID(const QString& mountPoint, const QString& uuid);

    // The view model, built on first use (after the volume is mounted and the settings written).
    MainViewModel& vm();

    ViewModelFixture fx;
    TestTree& tree = fx.tree;
    std::unique_ptr<TmpfsMount> volume;
    std::unique_ptr<MainViewModel> viewModel;
};

// Runs a workflow to its end on the event loop.
void finish(QCoro::Task<> flow);

// Two folders for a batch that is still copying its first item when a test interrupts it: "Large"
// (96 MiB in eight folders, distinct times) and "Small" (64 KiB), with their snapshots before the
// run. The fixture's volume must hold at least kLargeBatchVolumeBytes.
struct LargeAndSmallBatch {
    QString large;
    QString small;
    QStringList largeBefore;
    QStringList smallBefore;
};
inline constexpr qint64 kLargeBatchVolumeBytes = 160 * 1024 * 1024;
LargeAndSmallBatch makeLargeAndSmallBatch(WorkflowFixture& fixture);

// Waits (at most 20 s between progress steps) until the running batch is copying `source`.
bool waitUntilMigrating(MainViewModel& vm, const QString& source);

} // namespace orvalink::test
