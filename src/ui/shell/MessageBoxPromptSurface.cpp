#include "ui/shell/MessageBoxPromptSurface.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace orvalink::ui {

namespace {

constexpr int kMessageMinimumWidth = 380;

QMessageBox::ButtonRole boxRole(PromptRole role)
{
    switch (role) {
    case PromptRole::accept:
        return QMessageBox::AcceptRole;
    case PromptRole::destructive:
        return QMessageBox::DestructiveRole;
    case PromptRole::reject:
        break;
    }
    return QMessageBox::RejectRole;
}

} // namespace

MessageBoxPromptSurface::MessageBoxPromptSurface(QWidget* window) : m_window(window) {}

MessageBoxPromptSurface::~MessageBoxPromptSurface()
{
    withdraw();
}

void MessageBoxPromptSurface::show(const PromptRequest& request, Answer answer)
{
    withdraw();
    auto* box = new QMessageBox(m_window);
    box->setObjectName(QStringLiteral("promptBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowTitle(request.title);
    // Messages carry paths and error texts: never read them as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(request.title);
    box->setInformativeText(request.message);
    if (auto* title = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = title->font();
        font.setBold(true);
        title->setFont(font);
    }
    if (auto* message = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        message->setTextFormat(Qt::PlainText);
        // Long paths wrap at every slash in a narrow box.
        message->setMinimumWidth(kMessageMinimumWidth);
    }
    QList<QAbstractButton*> buttons;
    for (const PromptButton& button : request.buttons) {
        QPushButton* pushButton = box->addButton(button.text, boxRole(button.role));
        buttons.append(pushButton);
        if (button.role == PromptRole::accept && !box->defaultButton())
            box->setDefaultButton(pushButton);
        if (button.role == PromptRole::reject)
            box->setEscapeButton(pushButton);
    }
    // A question whose only step is a destructive one (ending programs, say) answers Enter with its
    // way out: nothing is ended by a key pressed for something else.
    if (!box->defaultButton())
        if (auto* wayOut = qobject_cast<QPushButton*>(box->escapeButton()))
            box->setDefaultButton(wayOut);
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, answer = std::move(answer)](int) {
        const qsizetype index = buttons.indexOf(box->clickedButton());
        answer(index >= 0 ? std::optional<int>(int(index)) : std::nullopt);
    });
    m_box = box;
    box->open();
}

void MessageBoxPromptSurface::withdraw()
{
    if (!m_box)
        return;
    QMessageBox* box = m_box;
    m_box = nullptr;
    // Closing must not count as an answer: the presenter withdraws a prompt whose value went away.
    QObject::disconnect(box, &QMessageBox::finished, nullptr, nullptr);
    box->close();
}

} // namespace orvalink::ui
