#include "ui/views/detail/StartAnswerHeadings.h"

#include <algorithm>

namespace orvalink::ui {

namespace {

const QString kStaysOpenZh = QStringLiteral("，活动台将保持展开直到你手动关闭。");
const QString kStaysOpenEn = QStringLiteral(", so the activity workspace stays open until you close it.");

StartAnswerHeading heading(const char* titleZh, const char* titleEn, const char* saidZh, const char* saidEn,
                           const char* expandEn)
{
    const QString zh = QString::fromUtf8(saidZh);
    const QString en = QString::fromUtf8(saidEn);
    return {BilingualText(titleZh, titleEn), BilingualText(zh + kStaysOpenZh, en + kStaysOpenEn),
            BilingualText(zh + QStringLiteral("，展开即可查看。"),
                          en + QStringLiteral(". ") + QString::fromUtf8(expandEn))};
}

} // namespace

StartAnswerHeading startAnswerHeading(const QList<KeptVersionsRecord>& records)
{
    const auto any = [&records](auto&& holds) {
        return std::any_of(records.cbegin(), records.cend(), holds);
    };
    const bool kept = any([](const KeptVersionsRecord& record) { return record.keptVersions(); });
    const bool held = any([](const KeptVersionsRecord& record) { return !record.heldPaths.isEmpty(); });
    const bool completed = any([](const KeptVersionsRecord& record) { return record.completedInstead; });
    if (int(kept) + int(held) + int(completed) > 1)
        return heading("启动时所做的处理", "What the Start Did", "启动时处理了中断的操作",
                       "The start put interrupted operations right", "Expand shows what it did.");
    if (held)
        return heading("程序仍占用的文件", "Files Programs Still Hold", "有程序仍占用迁移中的文件",
                       "Programs still hold files of a migration", "Expand shows them.");
    if (completed)
        return heading("启动时完成的迁移", "Migrations Completed at Start", "启动时完成了正在撤回的迁移",
                       "The start completed a migration that was being taken back", "Expand shows it.");
    return heading("启动时保留的版本", "Versions Kept at Start", "启动时保留了一些版本",
                   "The start kept some versions aside", "Expand shows them.");
}

} // namespace orvalink::ui
