#include "ui/views/common/ViewText.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QLabel>
#include <QLineEdit>

namespace orvalink::ui {

QString localizedText(MainViewModel& viewModel, const char* zh, const char* en)
{
    return viewModel.presentation().localized(QString::fromUtf8(zh), QString::fromUtf8(en));
}

QString localizedText(MainViewModel& viewModel, const QString& zh, const QString& en)
{
    return viewModel.presentation().localized(zh, en);
}

void setTextIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

void setTextIfChanged(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace orvalink::ui
