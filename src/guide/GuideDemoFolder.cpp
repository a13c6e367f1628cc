#include "guide/GuideDemoFolder.h"

#include "platform/PlatformError.h"
#include "viewmodel/MainViewModel.h"

#include <QDir>
#include <QFile>
#include <cerrno>

namespace orvalink::guide {

GuideDemoFolder::GuideDemoFolder() : m_dir(QDir::tempPath() + QStringLiteral("/orvalink-guide-XXXXXX"))
{
    if (!m_dir.isValid())
        throw platform::PlatformError(EIO, m_dir.errorString() + QStringLiteral(": ") + QDir::tempPath());
    point("ORVALINK_APP_SUPPORT_DIR", m_dir.filePath(QStringLiteral("support")));
    point("ORVALINK_LOG_DIR", m_dir.filePath(QStringLiteral("logs")));
}

GuideDemoFolder::~GuideDemoFolder()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second)
            qputenv(it->first.constData(), *it->second);
        else
            qunsetenv(it->first.constData());
    }
}

void GuideDemoFolder::point(const char* variable, const QString& value)
{
    m_saved.emplace_back(QByteArray(variable), qEnvironmentVariableIsSet(variable)
                                                   ? std::optional<QByteArray>(qgetenv(variable))
                                                   : std::nullopt);
    qputenv(variable, QFile::encodeName(value));
}

std::unique_ptr<MainViewModel> GuideDemoFolder::makeViewModel() const
{
    return std::make_unique<MainViewModel>();
}

} // namespace orvalink::guide
