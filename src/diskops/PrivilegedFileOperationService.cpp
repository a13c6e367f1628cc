#include "diskops/PrivilegedFileOperationService.h"

#include "diskops/PrivilegedFileOperationError.h"

#include <QStringDecoder>

namespace orvalink {

namespace {

std::optional<QString> trimmedUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text.trimmed();
}

} // namespace

PrivilegedFileOperationService::PrivilegedFileOperationService(
    std::shared_ptr<platform::CommandRunner> runner)
    : m_runner(runner ? std::move(runner) : platform::ProcessCommandRunner::administrator())
{}

QString PrivilegedFileOperationService::shellQuoted(const QString& path)
{
    QString inner = path;
    inner.replace(QLatin1Char('\''), QStringLiteral("'\"'\"'"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString PrivilegedFileOperationService::removeCommand(const QString& path)
{
    return QStringLiteral("/bin/rm -rf -- ") + shellQuoted(path);
}

QString PrivilegedFileOperationService::moveCommand(const QString& source, const QString& destination)
{
    return QStringLiteral("/bin/mv -f -- ") + shellQuoted(source) + QLatin1Char(' ') +
           shellQuoted(destination);
}

QString PrivilegedFileOperationService::createDirectoryCommand(const QString& path)
{
    return QStringLiteral("/bin/mkdir -p -- ") + shellQuoted(path);
}

QString PrivilegedFileOperationService::createSymbolicLinkCommand(const QString& linkPath,
                                                                  const QString& destination)
{
    return QStringLiteral("/bin/ln -sfn -- ") + shellQuoted(destination) + QLatin1Char(' ') +
           shellQuoted(linkPath);
}

void PrivilegedFileOperationService::removeItem(const QString& path) const
{
    runPrivileged(removeCommand(path));
}

void PrivilegedFileOperationService::moveItem(const QString& source, const QString& destination) const
{
    runPrivileged(moveCommand(source, destination));
}

void PrivilegedFileOperationService::createDirectory(const QString& path) const
{
    runPrivileged(createDirectoryCommand(path));
}

void PrivilegedFileOperationService::createSymbolicLink(const QString& linkPath,
                                                        const QString& destination) const
{
    runPrivileged(createSymbolicLinkCommand(linkPath, destination));
}

void PrivilegedFileOperationService::runPrivileged(const QString& command) const
{
    const platform::CommandOutcome outcome = m_runner->run(command);
    if (!outcome.crashed && outcome.exitStatus == 0)
        return;
    const auto message =
        firstNonEmpty({trimmedUtf8(outcome.standardError), trimmedUtf8(outcome.standardOutput)});
    throw PrivilegedFileOperationError::authorizationFailed(
        message.value_or(QStringLiteral("Administrator authorization failed.")));
}

std::optional<QString>
PrivilegedFileOperationService::firstNonEmpty(const std::vector<std::optional<QString>>& texts)
{
    for (const auto& text : texts) {
        if (text && !text->isEmpty())
            return text;
    }
    return std::nullopt;
}

} // namespace orvalink
