#include "support/NumberedFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <sys/stat.h>

namespace orvalink::test {

NumberedFolder::NumberedFolder(const QString& prefix)
{
    constexpr int kAttempts = 1000;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const QString candidate =
            prefix +
            QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(1000000), 6, 10, QLatin1Char('0'));
        if (::mkdir(QFile::encodeName(candidate).constData(), 0700) == 0) {
            m_path = candidate;
            return;
        }
        if (errno != EEXIST)
            return;
    }
}

NumberedFolder::~NumberedFolder()
{
    if (isValid())
        QDir(m_path).removeRecursively();
}

} // namespace orvalink::test
