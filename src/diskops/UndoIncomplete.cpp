#include "diskops/UndoIncomplete.h"

namespace orvalink {

UndoIncomplete::UndoIncomplete(Kind kind, LinkMapping mapping, QString targetPath, QString reason,
                               QStringList leftoverPaths)
    : m_kind(kind), m_mapping(std::move(mapping)), m_targetPath(std::move(targetPath)),
      m_reason(std::move(reason)), m_leftoverPaths(std::move(leftoverPaths)), m_what(description().toUtf8())
{}

QString UndoIncomplete::description() const
{
    switch (m_kind) {
    case Kind::notRecorded:
        return QStringLiteral("The data is back at ") + sourcePath() +
               QStringLiteral(", but the history could not be updated (") + m_reason +
               QStringLiteral("); the record will be completed at the next start.");
    case Kind::leftBehind:
        return QStringLiteral("The data is back at ") + sourcePath() +
               QStringLiteral(", but what was written to it or in use during the undo stayed at ") +
               m_targetPath + QStringLiteral(": ") + m_leftoverPaths.join(QStringLiteral(", ")) +
               QStringLiteral(". The record stays in the history.");
    }
    return QString();
}

} // namespace orvalink
