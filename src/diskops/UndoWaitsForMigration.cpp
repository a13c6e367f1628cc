#include "diskops/UndoWaitsForMigration.h"

namespace orvalink {

UndoWaitsForMigration::UndoWaitsForMigration(QString sourcePath, QString reason)
    : m_sourcePath(std::move(sourcePath)), m_reason(std::move(reason))
{
    m_what = (QStringLiteral("Undo refused, nothing was changed: the migration of ") + m_sourcePath +
              QStringLiteral(" is not finished yet (") + m_reason + QLatin1Char(')'))
                 .toUtf8();
}

} // namespace orvalink
