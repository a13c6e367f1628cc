#include "support/TestHome.h"

#include "diskops/PathMappingService.h"
#include "model/OrvalinkError.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace orvalink::test {

namespace {

// True when strict mode would refuse to migrate anything below `directory` (a build tree under /tmp,
// /var or /root, say), which would make every migration test fail for the wrong reason.
bool refusedByStrictMode(const QString& directory)
{
    try {
        PathMappingService().validateMigrationSource(directory + QStringLiteral("/probe"),
                                                     QStringLiteral("test"), true);
        return false;
    } catch (const OrvalinkError&) {
        return true;
    }
}

// Temporary homes live under the build tree, unless strict mode refuses that place; then, when we
// may, under a folder of /home that belongs to no user.
QString temporaryPrefix()
{
    QString base = QStringLiteral(ORVALINK_TEST_TMP_ROOT);
    if (refusedByStrictMode(base) && ::geteuid() == 0)
        base = QStringLiteral("/home/orvalink-test-tmp");
    QDir().mkpath(base);
    return base + QStringLiteral("/home-");
}

} // namespace

TestHome::TestHome() : m_dir(temporaryPrefix())
{
    QDir().mkpath(home());
    QDir().mkpath(volumes());
    // The private runtime folder of sockets: 0700, as the session manager makes it.
    QDir().mkpath(runtimeDir());
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setEnv("HOME", home());
    setEnv("XDG_DATA_HOME", home() + QStringLiteral("/.local/share"));
    setEnv("XDG_STATE_HOME", home() + QStringLiteral("/.local/state"));
    setEnv("XDG_CONFIG_HOME", home() + QStringLiteral("/.config"));
    setEnv("XDG_CACHE_HOME", home() + QStringLiteral("/.cache"));
    setEnv("XDG_RUNTIME_DIR", runtimeDir());
    setEnv("ORVALINK_APP_SUPPORT_DIR", appSupport());
    setEnv("ORVALINK_LOG_DIR", logDir());
    setEnv("ORVALINK_VOLUMES_DIR", volumes());
    setEnv("ORVALINK_BACKEND_BASE_URL", std::nullopt);
}

TestHome::~TestHome()
{
    for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
        if (it.value())
            qputenv(it.key().constData(), *it.value());
        else
            qunsetenv(it.key().constData());
    }
}

void TestHome::setEnv(const char* name, const std::optional<QString>& value)
{
    const QByteArray key(name);
    if (!m_saved.contains(key)) {
        m_saved.insert(key, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                            : std::optional<QByteArray>());
    }
    if (value)
        qputenv(name, value->toLocal8Bit());
    else
        qunsetenv(name);
}

} // namespace orvalink::test
