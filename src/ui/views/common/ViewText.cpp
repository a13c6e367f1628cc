#include "ui/views/common/ViewText.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QLabel>
#include <QLineEdit>

namespace orvalink::ui {

QString localizedText(const Presentation& texts, const char* zh, const char* en)
{
    return texts.localized(QString::fromUtf8(zh), QString::fromUtf8(en));
}

QString localizedText(const Presentation& texts, const QString& zh, const QString& en)
{
    return texts.localized(zh, en);
}

QString localizedText(MainViewModel& viewModel, const char* zh, const char* en)
{
    return localizedText(viewModel.presentation(), zh, en);
}

QString localizedText(MainViewModel& viewModel, const QString& zh, const QString& en)
{
    return localizedText(viewModel.presentation(), zh, en);
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
