#include "viewmodel/texts/DiskWorkStepText.h"

namespace orvalink {

BilingualText diskWorkStepTitle(DiskWorkStep::Kind kind)
{
    switch (kind) {
    case DiskWorkStep::Kind::comingHome:
        return {"迁移已撤回，文件夹正在搬回原处", "Migration taken back: the folder is coming home"};
    case DiskWorkStep::Kind::finishingMigration:
        return {"正在完成上次中断的迁移", "Finishing a migration interrupted last time"};
    case DiskWorkStep::Kind::finishingUndo:
        return {"正在完成上次中断的反悔", "Finishing an undo interrupted last time"};
    }
    return {};
}

BilingualText diskWorkStepLine(DiskWorkStep::Kind kind, const QString& folderName)
{
    const BilingualText line = kind == DiskWorkStep::Kind::comingHome
                                   ? BilingualText("正在搬回：%1", "Coming home: %1")
                                   : BilingualText("正在处理：%1", "Putting right: %1");
    return line.arg(folderName);
}

BilingualText recoveryRunTitle()
{
    return {"处理上次中断的操作", "Operations Interrupted Last Time"};
}

BilingualText recoveryCountText(qint64 done, qint64 total)
{
    return BilingualText("已处理 %1/%2 项", "%1 of %2 put right")
        .arg(QString::number(done), QString::number(total));
}

} // namespace orvalink
