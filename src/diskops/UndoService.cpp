#include "diskops/UndoService.h"

#include "diskops/MappingHistory.h"
#include "diskops/OperationRecovery.h"
#include "diskops/UndoRun.h"
#include "model/OrvalinkError.h"
#include "store/HistoryStores.h"

namespace orvalink {

UndoService::UndoService(const MappingStore& mappings, const TaskStore& tasks, LogService& log,
                         const PrivilegedFileOperationService& privileged,
                         const PathMappingService& pathMapping, const VolumeService& volumes,
                         const ActiveProcessService& processes)
    : m_mappings(mappings), m_tasks(tasks), m_log(log), m_privileged(privileged), m_pathMapping(pathMapping),
      m_volumes(volumes), m_processes(processes)
{}

QList<LinkMapping> UndoService::undoHistory(qsizetype limit) const
{
    return newestMappings(m_mappings, limit);
}

UndoResult UndoService::undoMigration(const QUuid& mappingID, const QString& anchorUser,
                                      const UndoAnswers& answers) const
{
    // An undo that could not write the history earlier is recorded first: the mapping it undid must
    // not be taken for one still to undo.
    OperationRecovery(m_log, m_volumes).recordWaitingHistories();
    const std::optional<LinkMapping> found = findMapping(m_mappings, mappingID);
    if (!found)
        throw OrvalinkError::undoTargetNotFound();
    return UndoRun(*this, *found, anchorUser, answers).execute();
}

} // namespace orvalink
