#include "platform/ComputerName.h"

#include <QFile>
#include <QSysInfo>

namespace orvalink::platform {

namespace {

// Undoes the shell quoting that hostnamectl writes: one pair of matching quotes around the value,
// and backslash escapes inside double quotes.
QString unquoted(const QString& value)
{
    if (value.size() < 2)
        return value;
    const QChar quote = value.front();
    if ((quote != QLatin1Char('"') && quote != QLatin1Char('\'')) || value.back() != quote)
        return value;
    const QString inner = value.mid(1, value.size() - 2);
    if (quote == QLatin1Char('\''))
        return inner;
    QString result;
    result.reserve(inner.size());
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner[i] == QLatin1Char('\\') && i + 1 < inner.size())
            ++i;
        result.append(inner[i]);
    }
    return result;
}

} // namespace

QString prettyHostnameFromMachineInfo(const QByteArray& text)
{
    const QString content = QString::fromUtf8(text);
    const QLatin1String key("PRETTY_HOSTNAME=");
    for (const QString& rawLine : content.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(key))
            return unquoted(line.mid(key.size()).trimmed()).trimmed();
    }
    return QString();
}

QString computerName()
{
    QFile machineInfo(QStringLiteral("/etc/machine-info"));
    if (machineInfo.open(QIODevice::ReadOnly)) {
        const QString pretty = prettyHostnameFromMachineInfo(machineInfo.read(64 * 1024));
        if (!pretty.isEmpty())
            return pretty;
    }
    return QSysInfo::machineHostName().trimmed();
}

} // namespace orvalink::platform
