#include "ui/views/account/MigrationCardTexts.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

namespace orvalink::ui {

QStringList recordCountChips(MainViewModel& viewModel, qint64 mappingCount, qint64 taskCount)
{
    const QString n = QString::number(mappingCount);
    const QString m = QString::number(taskCount);
    return {viewModel.presentation().localized(
                {QStringLiteral("已迁移 ") + n + QStringLiteral(" 项"), n + QStringLiteral(" migrated")}),
            viewModel.presentation().localized(
                {QStringLiteral("历史 ") + m + QStringLiteral(" 条"), m + QStringLiteral(" history")})};
}

QString datedText(MainViewModel& viewModel, const BilingualText& label, const QDateTime& date)
{
    return viewModel.presentation().localized(label) + QLatin1Char(' ') +
           viewModel.presentation().formatDate(date);
}

} // namespace orvalink::ui
