#pragma once

#include "model/DirectoryEntry.h"
#include "platform/CancellationToken.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <exception>

namespace orvalink {

class MainViewModel;

// Lists the current directory of a MainViewModel: a quick load that prefers the scan cache, a
// background pass that fills in directory sizes and writes the cache, and the user's deep scan.
// Every load and deep scan takes a new request number and cancels the walks of older requests;
// a result whose number is no longer the latest is dropped without touching the listing.
class DirectoryLoader : public QObject {
    Q_OBJECT

public:
    explicit DirectoryLoader(MainViewModel& viewModel);
    ~DirectoryLoader() override;

    quint64 latestScanRequestID() const { return m_latestScanRequestID; }

    // The cache's listing when it has one (and real-time refresh is off and no live listing was
    // asked for), else a live listing; sizes follow in the background where they are missing.
    QCoro::Task<> loadCurrentDirectoryForNavigation(bool forceLiveRefresh);
    // Every entry sized by its whole tree, only those of at least the minimum size unless all
    // files are shown; a full scan is cached.
    QCoro::Task<> scanCurrentDirectory();

    // The same, started and left to run.
    void startLoad(bool forceLiveRefresh);
    void startScan();

    // Publishes a listing with its total, the selected size, fresh storage figures, and drops a
    // focus the listing no longer holds.
    void applyDirectoryEntries(const QList<DirectoryEntry>& entries);
    // The size of the selected paths in `entries`; selected paths not listed count 0.
    void updateSelectedSize(const QList<DirectoryEntry>& entries);

private:
    quint64 beginRequest();
    bool isCurrent(quint64 requestID) const { return requestID == m_latestScanRequestID; }
    void showListingFailure(const std::exception_ptr& error);
    QCoro::Task<> refreshDirectorySizesInBackground(quint64 requestID, QString directoryPath,
                                                    QList<DirectoryEntry> listedEntries,
                                                    bool includeHiddenFiles,
                                                    platform::CancellationToken walk);
    void startBackgroundRefresh(quint64 requestID, const QString& directoryPath,
                                const QList<DirectoryEntry>& listedEntries, bool includeHiddenFiles,
                                const platform::CancellationToken& walk);
    QCoro::Task<> persistScanCache(QList<DirectoryEntry> entries, QString directoryPath,
                                   bool includeHiddenFiles);

    MainViewModel& m_viewModel;
    quint64 m_latestScanRequestID = 0;
    // The walks of the latest request; the next request cancels them.
    platform::CancellationToken m_currentWalk;
};

} // namespace orvalink
