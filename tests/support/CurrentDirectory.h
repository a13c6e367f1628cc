#pragma once

#include <QDir>
#include <QString>

namespace orvalink::test {

// Makes `path` the process's current directory for the lifetime of this object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const QString& path) : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(path);
    }
    ~CurrentDirectory() { QDir::setCurrent(m_previous); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    QString m_previous;
};

} // namespace orvalink::test
