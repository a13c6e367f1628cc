#include "viewmodel/ProgressMonitor.h"

#include "diskops/ScanService.h"
#include "platform/IncrementalTreeMeasurer.h"
#include "viewmodel/MainViewModel.h"

#include <QCoro/QCoroTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <sys/stat.h>

namespace orvalink {

namespace {

qint64 fileBytes(const struct stat& info)
{
    if (!S_ISREG(info.st_mode))
        return 0;
    return std::max<qint64>(
        {0, static_cast<qint64>(info.st_size), static_cast<qint64>(info.st_blocks) * 512});
}

} // namespace

qint64 readSizeForProgress(const QString& path, const ScanService& scan,
                           const platform::CancellationToken& cancellation)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    if (S_ISDIR(info.st_mode))
        return std::max<qint64>(0, scan.directorySize(path, true, cancellation));
    return fileBytes(info);
}

struct ProgressMonitor::State {
    platform::CancellationToken cancellation = platform::CancellationToken::create();
    // The pause between samples; restarted with 0 to end the pause at once on a stop.
    QTimer pause;
};

namespace {

// readSizeForProgress for one path sampled again and again: a directory keeps the totals of the parts
// that cannot have changed since the previous sample, so a sample costs what changed, not the tree.
qint64 sampleSize(const QString& path, platform::IncrementalTreeMeasurer& measurer,
                  const platform::CancellationToken& cancellation)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    if (S_ISDIR(info.st_mode))
        return std::max<qint64>(0, measurer.measure(cancellation).value_or(0));
    return fileBytes(info);
}

QCoro::Task<> sample(QPointer<MainViewModel> viewModel, QString path, qint64 expected, qint64 base,
                     std::shared_ptr<ProgressMonitor::State> state)
{
    const auto measurer = std::make_shared<platform::IncrementalTreeMeasurer>(path);
    const platform::CancellationToken cancellation = state->cancellation;
    qint64 lastSample = 0;
    while (!cancellation.isCancelled() && viewModel) {
        auto walk = viewModel->background().runCatching(
            [measurer, path, cancellation] { return sampleSize(path, *measurer, cancellation); });
        auto measured = co_await std::move(walk);
        if (cancellation.isCancelled() || !viewModel)
            co_return;
        if (measured.succeeded() && measured.value() > lastSample) {
            const qint64 candidate = base + std::min(measured.value(), expected);
            viewModel->setMigrationProcessedBytes(std::max(viewModel->migrationProcessedBytes(), candidate));
            lastSample = measured.value();
        }
        state->pause.start(viewModel->workflowSettings().progressInterval);
        co_await qCoro(state->pause).waitForTimeout();
    }
}

} // namespace

std::unique_ptr<ProgressMonitor> ProgressMonitor::start(MainViewModel& viewModel,
                                                        const std::optional<QString>& path,
                                                        qint64 expectedBytes, qint64 baseProcessedBytes)
{
    if (!path || path->isEmpty() || expectedBytes <= 0)
        return nullptr;
    auto state = std::make_shared<State>();
    state->pause.setSingleShot(true);
    auto sampling =
        sample(QPointer<MainViewModel>(&viewModel), *path, expectedBytes, baseProcessedBytes, state);
    return std::unique_ptr<ProgressMonitor>(new ProgressMonitor(std::move(state), std::move(sampling)));
}

ProgressMonitor::ProgressMonitor(std::shared_ptr<State> state, QCoro::Task<> sampling)
    : m_state(std::move(state)), m_sampling(std::move(sampling))
{}

ProgressMonitor::~ProgressMonitor()
{
    m_state->cancellation.cancel();
    if (m_state->pause.isActive())
        m_state->pause.start(0);
}

QCoro::Task<> ProgressMonitor::stop()
{
    m_state->cancellation.cancel();
    if (m_state->pause.isActive())
        m_state->pause.start(0);
    co_await std::move(m_sampling);
}

QCoro::Task<> stopProgressMonitor(std::unique_ptr<ProgressMonitor> monitor)
{
    if (monitor)
        co_await monitor->stop();
}

QCoro::Task<qint64> estimateBytesForProgress(MainViewModel& viewModel, QString path)
{
    const std::shared_ptr<ScanService> scan = viewModel.parts().scanService;
    auto work = viewModel.background().runCatching([scan, path] { return readSizeForProgress(path, *scan); });
    auto measured = co_await std::move(work);
    co_return measured.succeeded() ? measured.value() : 0;
}

void finishSingleItemProgress(MainViewModel& viewModel, bool success)
{
    viewModel.setMigrationProcessedItems(std::max<qint64>(viewModel.migrationTotalItems(), 1));
    if (success) {
        viewModel.setMigrationSucceededItems(std::max<qint64>(viewModel.migrationSucceededItems(), 1));
        viewModel.setMigrationProcessedBytes(viewModel.migrationTotalBytes());
    } else {
        viewModel.setMigrationFailedItems(std::max<qint64>(viewModel.migrationFailedItems(), 1));
    }
    viewModel.setMigrationCurrentPath(std::nullopt);
}

} // namespace orvalink
