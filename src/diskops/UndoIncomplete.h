#pragma once

#include "model/LinkMapping.h"

#include <QByteArray>
#include <QString>
#include <exception>

namespace orvalink {

// An undo that brought the data back to its source path but could not rewrite the history without
// the mapping (a full or read-only disk): it still lists it until the next start completes the
// record. The data stands whole at `sourcePath`.
class UndoIncomplete : public std::exception {
public:
    UndoIncomplete(LinkMapping mapping, QString targetPath, QString reason);

    const LinkMapping& mapping() const { return m_mapping; }
    // Where the data stands now.
    const QString& sourcePath() const { return m_mapping.sourcePath; }
    // Where the migrated data stood: the recorded target, or the same place where the recorded volume
    // is mounted now.
    const QString& targetPath() const { return m_targetPath; }
    // Why the history could not be written, in the platform's words.
    const QString& reason() const { return m_reason; }

    // The English description, as the log writes it.
    QString description() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    LinkMapping m_mapping;
    QString m_targetPath;
    QString m_reason;
    QByteArray m_what;
};

} // namespace orvalink
