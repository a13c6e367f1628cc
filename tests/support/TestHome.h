#pragma once

#include "support/NumberedFolder.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

namespace orvalink::test {

// A throw-away home for one test: HOME, the XDG directories (XDG_RUNTIME_DIR included) and the ORVALINK_*
// overrides point into a fresh temporary directory below the build tree, so nothing real is touched. The
// previous environment comes back when the object dies.
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    // The temporary root; home, volumes and the application folders lie below it.
    QString root() const { return m_dir.path(); }
    QString home() const { return root() + QStringLiteral("/home"); }
    QString appSupport() const { return root() + QStringLiteral("/support"); }
    QString logDir() const { return root() + QStringLiteral("/logs"); }
    QString volumes() const { return root() + QStringLiteral("/Volumes"); }
    QString runtimeDir() const { return root() + QStringLiteral("/run"); }
    // A path below the root.
    QString path(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    // Sets (or with none, unsets) a variable for the lifetime of this object.
    void setEnv(const char* name, const std::optional<QString>& value);

private:
    NumberedFolder m_dir;
    QHash<QByteArray, std::optional<QByteArray>> m_saved;
};

} // namespace orvalink::test
