#include "diskops/UndoIncomplete.h"

namespace orvalink {

UndoIncomplete::UndoIncomplete(LinkMapping mapping, QString targetPath, QString reason)
    : m_mapping(std::move(mapping)), m_targetPath(std::move(targetPath)), m_reason(std::move(reason)),
      m_what(description().toUtf8())
{}

QString UndoIncomplete::description() const
{
    return QStringLiteral("The data is back at ") + sourcePath() +
           QStringLiteral(", but the history could not be updated (") + m_reason +
           QStringLiteral("); the record will be completed at the next start.");
}

} // namespace orvalink
