#pragma once

#include "ViewModelFixture.h"
#include "support/LoopbackAccountService.h"
#include "viewmodel/history/HistoryInstall.h"

#include <QDateTime>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace orvalink::test {

// One test's world for the account flows: a temporary home, a loopback account service with one
// account, and a view model whose settings name that service (English texts unless adjusted) and
// whose authentication clock is `now`.
class AccountFixture {
public:
    static const QString email;
    static const QString password;

    AccountFixture();
    bool isReady() const { return m_ready; }

    MainViewModel& start(const std::function<void(AppConfig&)>& adjust = {});
    MainViewModel& viewModel() { return *model; }
    // Signs the account in through the flow; true when its session is published.
    bool signIn();

    static QString sessionPath();
    // This computer's device fingerprint (made on first use).
    static QString thisDevice();
    // The history files of an account (the guest's for an empty e-mail).
    static HistoryFiles historyOf(const QString& account);
    qsizetype requestsTo(const QString& path) const { return service.http().requestsTo(path).size(); }

    // Stores a snapshot of `fingerprint` for the account in the service.
    void storeCloudSnapshot(const QString& fingerprint, const QList<LinkMapping>& mappings,
                            const QList<MigrationTask>& tasks = {});

    // Records with sources below the home, which strict mode accepts, and targets on a volume.
    LinkMapping mapping(const QString& name) const;
    MigrationTask task(const QString& name, TaskStatus status = TaskStatus::completed) const;

    ViewModelFixture world;
    LoopbackAccountService service;
    std::unique_ptr<MainViewModel> model;
    QDateTime now = QDateTime::currentDateTimeUtc();
    // How long the sign-in service waits for a whole answer (set before start()); the client's own
    // limit when none.
    std::optional<std::chrono::milliseconds> authTimeout;

private:
    bool m_ready = false;
};

// Paths of the account service.
inline const QString kSnapshotPath = QStringLiteral("/api/v1/me/migrations/snapshot");
inline const QString kSyncPath = QStringLiteral("/api/v1/me/migrations/sync");
inline const QString kOverviewPath = QStringLiteral("/api/v1/me/migrations/overview");
inline const QString kFeedbackPath = QStringLiteral("/api/v1/me/feedback");
inline const QString kRefreshPath = QStringLiteral("/api/v1/auth/refresh");
inline const QString kLogoutPath = QStringLiteral("/api/v1/auth/logout");
inline const QString kCaptchaPath = QStringLiteral("/api/v1/auth/captcha");

} // namespace orvalink::test
