#include "AccountFixture.h"

#include "backend/DeviceIdentityStore.h"
#include "backend/MigrationSyncPayloads.h"
#include "model/AppPaths.h"
#include "support/TaskRunner.h"

namespace orvalink::test {

const QString AccountFixture::email = QStringLiteral("anna@example.com");
const QString AccountFixture::password = QStringLiteral("secret pass");

AccountFixture::AccountFixture()
{
    service.addUser(email, password);
    m_ready = world.home.isValid() && service.start();
}

MainViewModel& AccountFixture::start(const std::function<void(AppConfig&)>& adjust)
{
    AppConfig config = world.baseConfig();
    config.uiLanguage = UILanguage::english;
    config.backendBaseURL = service.baseURL();
    if (adjust)
        adjust(config);
    world.writeConfig(config);
    model = world.makeViewModel([this](ViewModelServices& services) {
        if (authTimeout)
            services.backendAuthService = std::make_shared<BackendAuthService>(
                BackendAPIClient(world.network.get(), *authTimeout), AuthSessionStore(sessionPath()),
                DeviceIdentityStore(AppPaths::applicationSupportFile(QStringLiteral("device_id.txt"))));
        services.backendAuthService->setClock([this] { return now; });
    });
    return *model;
}

bool AccountFixture::signIn()
{
    runTask(model->account().auth().signIn(email, password, std::nullopt, std::nullopt));
    return model->accountState().backendSession().has_value();
}

QString AccountFixture::sessionPath()
{
    return AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"));
}

QString AccountFixture::thisDevice()
{
    return DeviceIdentityStore(AppPaths::applicationSupportFile(QStringLiteral("device_id.txt")))
        .currentFingerprint();
}

HistoryFiles AccountFixture::historyOf(const QString& account)
{
    const LocalHistoryScope scope =
        account.isEmpty() ? LocalHistoryScope::guest() : LocalHistoryScope::account(account);
    const QString folder = AppPaths::historyDirectory() + QLatin1Char('/') + scope.directoryName();
    return HistoryFiles{folder + QStringLiteral("/mappings.jsonl"), folder + QStringLiteral("/tasks.jsonl")};
}

void AccountFixture::storeCloudSnapshot(const QString& fingerprint, const QList<LinkMapping>& mappings,
                                        const QList<MigrationTask>& tasks)
{
    service.migrations().store(email, syncwire::makeSyncRequest(fingerprint, mappings, tasks),
                               QDateTime::currentDateTimeUtc());
}

LinkMapping AccountFixture::mapping(const QString& name) const
{
    const QString source = world.home.home() + QStringLiteral("/Movies/") + name;
    const QDateTime created = QDateTime::currentDateTimeUtc().addSecs(-3600);
    return LinkMapping{QUuid::createUuid(),
                       source,
                       world.home.volumes() + QStringLiteral("/Ext") + source,
                       QStringLiteral("anna"),
                       QStringLiteral("VOL-1"),
                       created,
                       created};
}

MigrationTask AccountFixture::task(const QString& name, TaskStatus status) const
{
    const LinkMapping record = mapping(name);
    return MigrationTask{
        record.id, record.sourcePath, record.targetPath, record.anchorUser, record.volumeUUID,
        status,    record.createdAt,  record.createdAt,  std::nullopt,      std::nullopt};
}

} // namespace orvalink::test
