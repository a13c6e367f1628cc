#pragma once

#include <QString>
#include <exception>
#include <memory>

namespace orvalink::platform {

// An operating-system failure: the errno that caused it, an English message (the strerror text,
// usually followed by the path it concerns), the path of the file or folder it failed at when one
// call on one path failed, and optionally the error it wraps.
class PlatformError : public std::exception {
public:
    PlatformError(int errorNumber, QString message);
    PlatformError(int errorNumber, QString message, const PlatformError& underlying);

    // Builds the error for a failed call on `path`: "<strerror text>: <path>", which path() keeps.
    static PlatformError fromErrno(int errorNumber, const QString& path);

    int errorNumber() const { return m_errorNumber; }
    const QString& message() const { return m_message; }
    // The file or folder the call failed at; empty when the error names none, or more than one.
    const QString& path() const { return m_path; }
    const PlatformError* underlying() const { return m_underlying.get(); }

    // EACCES or EPERM on this error or on the one it wraps.
    bool isPermissionError() const;
    // EBUSY or ETXTBSY on this error or on the one it wraps.
    bool isBusyError() const;

    const char* what() const noexcept override { return m_utf8.constData(); }

protected:
    // For an error of a kind of its own that names the path it concerns in its own words.
    void setPath(QString path) { m_path = std::move(path); }

private:
    int m_errorNumber;
    QString m_message;
    QString m_path;
    QByteArray m_utf8;
    std::shared_ptr<const PlatformError> m_underlying;
};

// The English text of an errno value, whatever the locale.
QString errnoText(int errorNumber);

} // namespace orvalink::platform
