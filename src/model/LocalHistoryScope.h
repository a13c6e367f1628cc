#pragma once

#include <QString>

namespace orvalink {

// Whose history is in use: the guest or a signed-in account (by its trimmed, lower-cased e-mail).
class LocalHistoryScope {
public:
    static LocalHistoryScope guest() { return LocalHistoryScope(); }
    // The caller passes the e-mail already normalized; the scope keeps it as given.
    static LocalHistoryScope account(const QString& email) { return LocalHistoryScope(email); }

    bool isGuest() const { return m_isGuest; }
    const QString& email() const { return m_email; }

    // The folder under the history directory: "guest", "account" for a blank e-mail, else the
    // lower-cased e-mail with every code point outside [a-z0-9-_] replaced by one "_".
    QString directoryName() const;

    bool operator==(const LocalHistoryScope&) const = default;

private:
    LocalHistoryScope() = default;
    explicit LocalHistoryScope(QString email) : m_isGuest(false), m_email(std::move(email)) {}

    bool m_isGuest = true;
    QString m_email;
};

} // namespace orvalink
