#pragma once

#include "model/DirectoryEntry.h"
#include "platform/CancellationToken.h"
#include "viewmodel/flow/FlowTicket.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <exception>

namespace orvalink {

class PersistedStateReader;
class ViewModelContext;

// Lists the current directory: a quick load that prefers the scan cache, a
// background pass that fills in directory sizes and writes the cache, and the user's deep scan.
// Every load and deep scan takes a new request number and cancels the walks of older requests;
// a result whose number is no longer the latest is dropped without touching the listing.
// A listing reaches the cache as soon as it is shown (one read from the cache when the disk
// differed from it) and again once it is sized, so the next start never shows an older one,
// whenever the window closes.
class DirectoryLoader : public QObject {
    Q_OBJECT

public:
    DirectoryLoader(ViewModelContext& context, PersistedStateReader& persisted);
    ~DirectoryLoader() override;

    quint64 latestScanRequestID() const { return m_requests.number(); }
    // Cancels the walks; no listing result is published any more.
    void retire();

    // The cache's listing (checked against the disk) when it has one (and real-time refresh is off
    // and no live listing was asked for), else a live listing, its folders at the sizes the listing
    // shown until now gave them; sizes follow in the background where they are missing, and after
    // every live listing that was asked for or that the cache could not give.
    QCoro::Task<> loadCurrentDirectoryForNavigation(bool forceLiveRefresh);
    // Every entry sized by its whole tree, only those of at least the minimum size shown unless all
    // files are; the whole listing is cached either way.
    QCoro::Task<> scanCurrentDirectory();

    // The same, started and left to run.
    void startLoad(bool forceLiveRefresh);
    void startScan();
    // Every file listed, or only those of at least the minimum size: a change starts a deep scan.
    void setShowAllFiles(bool shown);

    // Publishes a listing with its total, the selected size, fresh storage figures, and drops a
    // focus the listing no longer holds.
    void applyDirectoryEntries(const QList<DirectoryEntry>& entries);
    // The size of the selected paths in `entries`; selected paths not listed count 0.
    void updateSelectedSize(const QList<DirectoryEntry>& entries);

private:
    FlowTicket beginRequest();
    void showListingFailure(const std::exception_ptr& error);
    QCoro::Task<> refreshDirectorySizesInBackground(FlowTicket request, QString directoryPath,
                                                    QList<DirectoryEntry> listedEntries,
                                                    bool includeHiddenFiles,
                                                    platform::CancellationToken walk);
    void startBackgroundRefresh(const FlowTicket& request, const QString& directoryPath,
                                const QList<DirectoryEntry>& listedEntries, bool includeHiddenFiles,
                                const platform::CancellationToken& walk);
    QCoro::Task<> persistScanCache(QList<DirectoryEntry> entries, QString directoryPath,
                                   bool includeHiddenFiles);

    ViewModelContext& m_context;
    PersistedStateReader& m_persisted;
    // One series of tickets: every load and deep scan advances it, so only the newest is current.
    FlowTicketSource m_requests;
    // The walks of the latest request; the next request cancels them.
    platform::CancellationToken m_currentWalk;
};

} // namespace orvalink
