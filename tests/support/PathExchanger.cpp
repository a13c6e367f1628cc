#include "support/PathExchanger.h"

#include <QFile>
#include <fcntl.h>
#include <stdio.h>

namespace orvalink::test {

PathExchanger::PathExchanger(const QString& first, const QString& second, int pause)
    : m_first(QFile::encodeName(first)), m_second(QFile::encodeName(second))
{
    m_thread = std::thread([this, pause] {
        while (!m_stop.load()) {
            ::renameat2(AT_FDCWD, m_first.constData(), AT_FDCWD, m_second.constData(), RENAME_EXCHANGE);
            ++m_exchanges;
            for (int turn = 0; turn < pause && !m_stop.load(); ++turn)
                std::this_thread::yield();
        }
    });
}

PathExchanger::~PathExchanger()
{
    m_stop = true;
    m_thread.join();
}

void PathExchanger::waitForExchanges(int count) const
{
    while (m_exchanges.load() < count)
        std::this_thread::yield();
}

} // namespace orvalink::test
