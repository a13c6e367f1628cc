#pragma once

#include "model/LinkMapping.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <exception>

namespace orvalink {

// An undo that brought the data back to its source path but could not end as an undo should. The
// data stands whole at `sourcePath` either way; what is missing is said by the kind.
class UndoIncomplete : public std::exception {
public:
    enum class Kind {
        // The history could not be rewritten without the mapping (a full or read-only disk): it
        // still lists it until the next start completes the record.
        notRecorded,
        // Entries written through the old link while the data was copied back, or held by a
        // program when the target was to be removed, stayed at the target on the volume
        // (`leftoverPaths`); the mapping stays in the history, so they can be found and brought
        // home from the window.
        leftBehind,
    };

    UndoIncomplete(Kind kind, LinkMapping mapping, QString targetPath, QString reason,
                   QStringList leftoverPaths);

    Kind kind() const { return m_kind; }
    const LinkMapping& mapping() const { return m_mapping; }
    // Where the data stands now.
    const QString& sourcePath() const { return m_mapping.sourcePath; }
    // Where the migrated data stood: the recorded target, or the same place where the recorded volume
    // is mounted now.
    const QString& targetPath() const { return m_targetPath; }
    // Why the history could not be written (notRecorded), in the platform's words.
    const QString& reason() const { return m_reason; }
    const QStringList& leftoverPaths() const { return m_leftoverPaths; }

    // The English description, as the log writes it.
    QString description() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    LinkMapping m_mapping;
    QString m_targetPath;
    QString m_reason;
    QStringList m_leftoverPaths;
    QByteArray m_what;
};

} // namespace orvalink
