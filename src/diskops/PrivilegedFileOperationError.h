#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace orvalink {

// An administrator command that was refused or failed. Its description is the message unchanged.
class PrivilegedFileOperationError : public std::exception {
public:
    enum class Case { authorizationFailed };

    static PrivilegedFileOperationError authorizationFailed(const QString& message);

    Case errorCase() const { return Case::authorizationFailed; }
    const QString& message() const { return m_message; }
    QString errorDescription() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    explicit PrivilegedFileOperationError(QString message);

    QString m_message;
    QByteArray m_utf8;
};

} // namespace orvalink
