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

    // The failure without administrator rights that this command was to make good, when there was
    // one: what could not be done, and where.
    const std::exception_ptr& failureWithoutAdministrator() const { return m_withoutAdministrator; }
    void setFailureWithoutAdministrator(std::exception_ptr failure)
    {
        m_withoutAdministrator = std::move(failure);
    }

private:
    explicit PrivilegedFileOperationError(QString message);

    QString m_message;
    QByteArray m_utf8;
    std::exception_ptr m_withoutAdministrator;
};

} // namespace orvalink
