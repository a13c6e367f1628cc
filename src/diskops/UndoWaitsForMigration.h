#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace orvalink {

// An undo that changed nothing because the migration it would take back is not finished yet: a
// start left it waiting (its volume away, something at one of its places to look at, a newer
// version it could not put in place). The data stays as that migration left it, the record and the
// mapping stay, and the undo can be tried again once the migration is finished; the log says why
// it waits.
class UndoWaitsForMigration : public std::exception {
public:
    UndoWaitsForMigration(QString sourcePath, QString reason);

    const QString& sourcePath() const { return m_sourcePath; }
    // Why the migration waits, in the log's words.
    const QString& reason() const { return m_reason; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_sourcePath;
    QString m_reason;
    QByteArray m_what;
};

} // namespace orvalink
