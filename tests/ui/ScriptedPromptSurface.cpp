#include "ScriptedPromptSurface.h"

#include <QTimer>

namespace orvalink::test {

void ScriptedPromptSurface::show(const ui::PromptRequest& request, Answer answer)
{
    m_shown.append(request);
    m_open = request;
    m_answer = std::move(answer);
    const quint64 generation = ++m_generation;
    if (!m_script.isEmpty())
        QTimer::singleShot(0, this, [this, generation] { answerFromScript(generation); });
}

void ScriptedPromptSurface::withdraw()
{
    if (!m_open)
        return;
    ++m_generation;
    ++m_withdrawn;
    m_open.reset();
    m_answer = {};
}

void ScriptedPromptSurface::answerFromScript(quint64 generation)
{
    if (generation != m_generation || !m_open || m_script.isEmpty())
        return;
    answer(m_script.takeFirst());
}

bool ScriptedPromptSurface::answer(const std::optional<QString>& buttonText)
{
    if (!m_open)
        return false;
    std::optional<int> index;
    if (buttonText) {
        for (int i = 0; i < m_open->buttons.size(); ++i) {
            if (m_open->buttons.at(i).text == *buttonText)
                index = i;
        }
        if (!index)
            return false;
    }
    ++m_generation;
    m_open.reset();
    const Answer answer = std::move(m_answer);
    m_answer = {};
    answer(index);
    return true;
}

QStringList ScriptedPromptSurface::shownTitles() const
{
    QStringList titles;
    for (const ui::PromptRequest& request : m_shown)
        titles.append(request.title);
    return titles;
}

} // namespace orvalink::test
