#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::guide {

// An empty, temporary application-support folder (with its own log folder) for the state objects
// of the tutorial pictures, so that they show the demo data alone: a state object reads its
// settings, session and history while it is built and afterwards, and over the user's folder it
// would pick the history scope of the user's saved account, read the user's history and log, and
// might rewrite the settings file.
//
// While the object lives, ORVALINK_APP_SUPPORT_DIR and ORVALINK_LOG_DIR name the temporary folders
// (the stores look them up on every use); the previous values come back, and the folders are
// removed, when it dies. Every state object it made must be gone by then. Main thread only; the
// process must not rely on the two variables meanwhile (the export reads them before).
class GuideDemoFolder {
public:
    // Throws platform::PlatformError when no temporary folder can be made.
    GuideDemoFolder();
    ~GuideDemoFolder();
    GuideDemoFolder(const GuideDemoFolder&) = delete;
    GuideDemoFolder& operator=(const GuideDemoFolder&) = delete;

    QString path() const { return m_dir.path(); }

    // A state object with the ordinary initializer on the temporary folder.
    std::unique_ptr<MainViewModel> makeViewModel() const;

private:
    void point(const char* variable, const QString& value);

    QTemporaryDir m_dir;
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};

} // namespace orvalink::guide
