#include "ui/views/account/MigrationCardTexts.h"

#include "ui/views/common/ViewText.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

namespace orvalink::ui {

QStringList recordCountChips(MainViewModel& viewModel, qint64 mappingCount, qint64 taskCount)
{
    const QString n = QString::number(mappingCount);
    const QString m = QString::number(taskCount);
    return {localizedText(viewModel, QStringLiteral("已迁移 ") + n + QStringLiteral(" 项"),
                          n + QStringLiteral(" migrated")),
            localizedText(viewModel, QStringLiteral("历史 ") + m + QStringLiteral(" 条"),
                          m + QStringLiteral(" history"))};
}

QString datedText(MainViewModel& viewModel, const QString& zh, const QString& en, const QDateTime& date)
{
    return localizedText(viewModel, zh, en) + QLatin1Char(' ') + viewModel.presentation().formatDate(date);
}

} // namespace orvalink::ui
