#include "diskops/OperationJournal.h"

#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcJournal, "orvalink.diskops.journal")

namespace orvalink {

namespace {

constexpr auto kSuffix = ".json";

QString lockPathOf(const QString& recordPath)
{
    return recordPath.left(recordPath.size() - qsizetype(qstrlen(kSuffix))) + QStringLiteral(".lock");
}

// Opens (creating) and locks the lock file; an invalid descriptor when another process holds it.
platform::UniqueFd lockFile(const QString& path, bool wait)
{
    platform::UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd.isValid())
        throw platform::PlatformError::fromErrno(errno, path);
    if (::flock(fd.get(), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno == EWOULDBLOCK)
            return {};
        throw platform::PlatformError::fromErrno(errno, path);
    }
    return fd;
}

QString kindText(JournalKind kind)
{
    return kind == JournalKind::migration ? QStringLiteral("migration") : QStringLiteral("undo");
}

} // namespace

QJsonObject JournalRecord::toJson() const
{
    return {
        {"kind", kindText(kind)},
        {"id", json::uuidText(id)},
        {"sourcePath", sourcePath},
        {"targetPath", targetPath},
        {"stagingPath", stagingPath},
        {"itemIdentity", itemIdentity},
        {"createdDirectories", QJsonArray::fromStringList(createdDirectories)},
        {"moving", moving},
        {"administrator", administrator},
        {"arrived", arrived},
        {"rollingBack", rollingBack},
        {"forced", forced},
        {"restorePath", restorePath},
        {"restoreIdentity", restoreIdentity},
        {"restorePlaced", restorePlaced},
        {"mappingID", json::uuidText(mappingID)},
        {"anchorUser", anchorUser},
        {"volumeUUID", volumeUUID},
        {"startedAt", json::isoDateText(startedAt)},
        {"mappingsFile", mappingsFile},
        {"tasksFile", tasksFile},
    };
}

JournalRecord JournalRecord::fromJson(const QJsonObject& object)
{
    JournalRecord record;
    const QString kind = json::requireString(object, "kind");
    if (kind != kindText(JournalKind::migration) && kind != kindText(JournalKind::undo))
        throw json::DecodeError("unknown operation kind " + kind.toStdString());
    record.kind = kind == kindText(JournalKind::migration) ? JournalKind::migration : JournalKind::undo;
    record.id = json::requireUuid(object, "id");
    record.sourcePath = json::requireString(object, "sourcePath");
    record.targetPath = json::requireString(object, "targetPath");
    record.stagingPath = json::requireString(object, "stagingPath");
    record.itemIdentity = json::requireString(object, "itemIdentity");
    const QJsonValue created = object.value(QStringLiteral("createdDirectories"));
    if (!created.isArray())
        throw json::DecodeError("createdDirectories is not a list");
    for (const QJsonValue& each : created.toArray()) {
        if (!each.isString())
            throw json::DecodeError("createdDirectories holds a non-text");
        record.createdDirectories.append(each.toString());
    }
    record.moving = json::requireBool(object, "moving");
    record.administrator = json::requireBool(object, "administrator");
    record.arrived = json::requireBool(object, "arrived");
    record.rollingBack = json::requireBool(object, "rollingBack");
    record.forced = json::requireBool(object, "forced");
    record.restorePath = json::requireString(object, "restorePath");
    record.restoreIdentity = json::requireString(object, "restoreIdentity");
    record.restorePlaced = json::requireBool(object, "restorePlaced");
    record.mappingID = json::requireUuid(object, "mappingID");
    record.anchorUser = json::requireString(object, "anchorUser");
    record.volumeUUID = json::requireString(object, "volumeUUID");
    record.startedAt = json::requireDate(object, "startedAt");
    record.mappingsFile = json::requireString(object, "mappingsFile");
    record.tasksFile = json::requireString(object, "tasksFile");
    return record;
}

QString entryIdentityText(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    return QString::number(quint64(info.st_dev)) + QLatin1Char(':') + QString::number(quint64(info.st_ino));
}

OperationJournal::OperationJournal(JournalRecord record)
    : m_record(std::move(record)),
      m_path(directory() + QLatin1Char('/') + json::uuidText(m_record.id) + kSuffix)
{
    platform::createDirectories(directory());
    m_lock = lockFile(lockPathOf(m_path), true);
    write();
}

OperationJournal::OperationJournal(JournalRecord record, QString path, platform::UniqueFd lock)
    : m_record(std::move(record)), m_path(std::move(path)), m_lock(std::move(lock))
{}

OperationJournal::~OperationJournal() = default;

std::optional<OperationJournal> OperationJournal::claim(const QString& path)
{
    platform::UniqueFd lock = lockFile(lockPathOf(path), false);
    if (!lock.isValid())
        return std::nullopt;
    // Its owner may have finished between the listing and the lock.
    if (!platform::entryExists(path)) {
        ::unlink(QFile::encodeName(lockPathOf(path)).constData());
        return std::nullopt;
    }
    JournalRecord record = JournalRecord::fromJson(json::parseObject(platform::readWholeFile(path)));
    return OperationJournal(std::move(record), path, std::move(lock));
}

QStringList OperationJournal::recordPaths()
{
    const QDir folder(directory());
    QStringList paths;
    for (const QString& name :
         folder.entryList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::Hidden, QDir::Name))
        paths.append(folder.filePath(name));
    return paths;
}

QString OperationJournal::directory()
{
    return AppPaths::applicationSupportDirectory() + QStringLiteral("/operations");
}

void OperationJournal::write()
{
    platform::writeFileAtomically(m_path, json::compact(m_record.toJson()), 0600);
}

void OperationJournal::update(const std::function<void(JournalRecord&)>& change,
                              const std::function<void(JournalRecord&)>& revert)
{
    change(m_record);
    try {
        write();
    } catch (...) {
        revert(m_record);
        try {
            write();
        } catch (const std::exception& error) {
            qCWarning(lcJournal) << "could not take back a step of" << m_path << error.what();
        }
        throw;
    }
}

void OperationJournal::finish()
{
    if (m_path.isEmpty())
        return;
    if (::unlink(QFile::encodeName(m_path).constData()) != 0 && errno != ENOENT)
        qCWarning(lcJournal) << "could not remove the operation record" << m_path << ::strerror(errno);
    try {
        platform::syncDirectory(directory());
    } catch (const std::exception& error) {
        qCWarning(lcJournal) << error.what();
    }
    ::unlink(QFile::encodeName(lockPathOf(m_path)).constData());
    m_lock.reset();
    m_path.clear();
}

} // namespace orvalink
