#pragma once

#include "model/OrvalinkError.h"

#include <QByteArray>
#include <QString>
#include <exception>
#include <optional>

namespace orvalink {

// An undo that failed while it brought the data home, and put everything back as it was: the data
// is whole on the volume at `targetPath`, and the source path leads to it as before. Nothing
// changed, so the record stays in the history and the undo can be tried again.
class UndoNotDone : public std::exception {
public:
    UndoNotDone(QString sourcePath, QString targetPath, OrvalinkError::Underlying cause);

    const QString& sourcePath() const { return m_sourcePath; }
    const QString& targetPath() const { return m_targetPath; }
    // What failed, as the platform said it; `cause().error` is the failure itself.
    const OrvalinkError::Underlying& cause() const { return m_cause; }
    // The file or folder the failure names (one that could not be read, say); empty when it names
    // none.
    const QString& failedPath() const { return m_failedPath; }
    // The failure without its path ("Permission denied"), of the attempt without administrator
    // rights where an administrator's command was refused; the whole failure when it names no file.
    const QString& reason() const { return m_reason; }

    // The English description, as the log writes it.
    QString description() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_sourcePath;
    QString m_targetPath;
    OrvalinkError::Underlying m_cause;
    QString m_failedPath;
    QString m_reason;
    QByteArray m_what;
};

} // namespace orvalink
