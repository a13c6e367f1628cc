#include "diskops/OperationJournal.h"

#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileIO.h"
#include "platform/FileLock.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcJournal, "orvalink.diskops.journal")

namespace orvalink {

namespace {

constexpr auto kSuffix = ".json";
constexpr auto kLockSuffix = ".lock";

QString lockPathOf(const QString& recordPath)
{
    return recordPath.left(recordPath.size() - qsizetype(qstrlen(kSuffix))) + QLatin1String(kLockSuffix);
}

// The operation id `name` names with `suffix` ("<id>.json", "<id>.lock"); null when it is no such name.
QUuid idOfName(const QString& name, const char* suffix)
{
    const QLatin1String ending(suffix);
    return name.endsWith(ending) ? QUuid::fromString(QStringView(name).chopped(ending.size())) : QUuid();
}

// Renames the record out of the "*.json" set; the new path, or none when that failed.
std::optional<QString> renameAside(const QString& recordPath)
{
    const QString base = recordPath + QStringLiteral(".set-aside");
    for (int attempt = 1; attempt < 100; ++attempt) {
        const QString candidate = attempt == 1 ? base : base + QLatin1Char('-') + QString::number(attempt);
        try {
            platform::renameNoReplace(recordPath, candidate);
            platform::syncDirectory(OperationJournal::directory());
            return candidate;
        } catch (const platform::PlatformError& error) {
            if (error.errorNumber() != EEXIST) {
                qCWarning(lcJournal) << "could not set aside" << recordPath << error.what();
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

void unlinkQuietly(const QString& path)
{
    ::unlink(QFile::encodeName(path).constData());
}

// The kind whose text is `text`. Every kind is tried in turn; the switch names the next one, so a
// kind added to the enum fails to compile until it is placed here.
JournalKind journalKindOfText(const QString& text)
{
    for (JournalKind kind = JournalKind::migration;;) {
        if (text == journalKindText(kind))
            return kind;
        switch (kind) {
        case JournalKind::migration:
            kind = JournalKind::undo;
            break;
        case JournalKind::undo:
            throw json::DecodeError("unknown operation kind " + text.toStdString());
        }
    }
}

// The list of texts under `key`; a missing one is empty unless `required`.
QStringList textList(const QJsonObject& object, const char* key, bool required)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() && !required)
        return {};
    if (!value.isArray())
        throw json::DecodeError(std::string(key) + " is not a list");
    QStringList texts;
    for (const QJsonValue& each : value.toArray()) {
        if (!each.isString())
            throw json::DecodeError(std::string(key) + " holds a non-text");
        texts.append(each.toString());
    }
    return texts;
}

} // namespace

QString journalKindText(JournalKind kind)
{
    switch (kind) {
    case JournalKind::migration:
        return QStringLiteral("migration");
    case JournalKind::undo:
        return QStringLiteral("undo");
    }
    return QString();
}

QJsonObject JournalRecord::toJson() const
{
    return {
        {"kind", journalKindText(kind)},
        {"id", json::uuidText(id)},
        {"homeDirectory", homeDirectory},
        {"sourcePath", sourcePath},
        {"targetPath", targetPath},
        {"targetRoot", targetRoot},
        {"stagingPath", stagingPath},
        {"sourceFolderIdentity", sourceFolderIdentity},
        {"itemIdentity", itemIdentity},
        {"targetRootIdentity", targetRootIdentity},
        {"targetIdentity", targetIdentity},
        {"createdDirectories", QJsonArray::fromStringList(createdDirectories)},
        {"moving", moving},
        {"administrator", administrator},
        {"arrived", arrived},
        {"forced", forced},
        {"occupantPath", occupantPath},
        {"occupantIdentity", occupantIdentity},
        {"occupantMerge", occupantMerge},
        {"sourceLinkText", sourceLinkText},
        {"settled", settled},
        {"historyPending", historyPending},
        {"restorePath", restorePath},
        {"restoreSiblingIdentity", restoreSiblingIdentity},
        {"restoreIdentity", restoreIdentity},
        {"newerLeftovers", QJsonArray::fromStringList(newerLeftovers)},
        {"knownVersions", QJsonArray::fromStringList(knownVersions)},
        {"arrivingIdentity", arrivingIdentity},
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
    record.kind = journalKindOfText(json::requireString(object, "kind"));
    record.id = json::requireUuid(object, "id");
    record.homeDirectory = json::optionalString(object, "homeDirectory").value_or(QString());
    record.sourcePath = json::requireString(object, "sourcePath");
    record.targetPath = json::requireString(object, "targetPath");
    record.targetRoot = json::optionalString(object, "targetRoot").value_or(QString());
    record.stagingPath = json::requireString(object, "stagingPath");
    record.sourceFolderIdentity = json::optionalString(object, "sourceFolderIdentity").value_or(QString());
    record.itemIdentity = json::requireString(object, "itemIdentity");
    record.targetRootIdentity = json::optionalString(object, "targetRootIdentity").value_or(QString());
    record.targetIdentity = json::optionalString(object, "targetIdentity").value_or(QString());
    record.createdDirectories = textList(object, "createdDirectories", true);
    record.moving = json::requireBool(object, "moving");
    record.administrator = json::requireBool(object, "administrator");
    record.arrived = json::requireBool(object, "arrived");
    record.forced = json::requireBool(object, "forced");
    record.occupantPath = json::optionalString(object, "occupantPath").value_or(QString());
    record.occupantIdentity = json::optionalString(object, "occupantIdentity").value_or(QString());
    record.occupantMerge = json::optionalBool(object, "occupantMerge").value_or(false);
    record.sourceLinkText = json::optionalString(object, "sourceLinkText").value_or(QString());
    record.settled = json::optionalBool(object, "settled").value_or(false);
    record.historyPending = json::optionalBool(object, "historyPending").value_or(false);
    record.restorePath = json::requireString(object, "restorePath");
    record.restoreSiblingIdentity =
        json::optionalString(object, "restoreSiblingIdentity").value_or(QString());
    record.restoreIdentity = json::requireString(object, "restoreIdentity");
    record.newerLeftovers = textList(object, "newerLeftovers", false);
    record.knownVersions = textList(object, "knownVersions", false);
    record.arrivingIdentity = json::optionalString(object, "arrivingIdentity").value_or(QString());
    record.mappingID = json::requireUuid(object, "mappingID");
    record.anchorUser = json::requireString(object, "anchorUser");
    record.volumeUUID = json::requireString(object, "volumeUUID");
    record.startedAt = json::requireDate(object, "startedAt");
    record.mappingsFile = json::requireString(object, "mappingsFile");
    record.tasksFile = json::requireString(object, "tasksFile");
    return record;
}

QString targetAnchorPath(const JournalRecord& record)
{
    QString anchor = record.targetRoot;
    while (record.createdDirectories.contains(anchor) && anchor != QLatin1String("/"))
        anchor = platform::parentPath(anchor);
    return anchor;
}

QString probedFolderPath(const JournalRecord& record)
{
    return platform::parentPath(record.createdDirectories.isEmpty() ? record.targetPath
                                                                    : record.createdDirectories.constLast());
}

OperationJournal::OperationJournal(JournalRecord record)
    : m_record(std::move(record)),
      m_path(directory() + QLatin1Char('/') + json::uuidText(m_record.id) + kSuffix)
{
    platform::createDirectories(directory());
    m_lock = platform::lockFile(lockPathOf(m_path), true);
    try {
        platform::writeFileAtomically(m_path, json::compact(m_record.toJson()), 0600);
    } catch (...) {
        // No record, no operation: nothing of it stays behind (the record may be in place though
        // its folder could not be flushed).
        finish();
        throw;
    }
}

OperationJournal::OperationJournal(JournalRecord record, QString path, platform::UniqueFd lock)
    : m_record(std::move(record)), m_path(std::move(path)), m_lock(std::move(lock))
{}

OperationJournal::~OperationJournal()
{
    release();
}

void OperationJournal::release()
{
    // The file goes before the lock: whoever opened it meanwhile finds it gone and starts again.
    if (m_lock.isValid() && !m_path.isEmpty())
        unlinkQuietly(lockPathOf(m_path));
    m_lock.reset();
    m_path.clear();
}

std::optional<OperationJournal> OperationJournal::claim(const QString& path)
{
    platform::UniqueFd lock = platform::lockFile(lockPathOf(path), false);
    if (!lock.isValid())
        return std::nullopt;
    // Its owner may have finished between the listing and the lock.
    if (!platform::entryExists(path)) {
        unlinkQuietly(lockPathOf(path));
        return std::nullopt;
    }
    std::optional<JournalRecord> record;
    QString unreadable;
    try {
        record = JournalRecord::fromJson(json::parseObject(readRecordFile(path)));
    } catch (const json::DecodeError& error) {
        unreadable = QString::fromUtf8(error.what());
    } catch (const platform::UnsuitableFileError& error) {
        unreadable = error.message();
    } catch (const platform::PlatformError&) {
        // A read that fails (EIO, EMFILE, ENOMEM) may succeed at the next start: the record stays
        // where it is, and the caller leaves it as found.
        unlinkQuietly(lockPathOf(path));
        throw;
    }
    if (record)
        return OperationJournal(std::move(*record), path, std::move(lock));
    // Looked at once, reported once: what cannot be a record now never can.
    const std::optional<QString> moved = renameAside(path);
    unlinkQuietly(lockPathOf(path));
    throw UnreadableJournal(unreadable.toStdString(), moved.value_or(path));
}

QByteArray OperationJournal::readRecordFile(const QString& path)
{
    return platform::readRegularFile(path, kMaxRecordBytes);
}

QStringList OperationJournal::recordPaths()
{
    const QDir folder(directory());
    QStringList paths;
    // Whatever kind of entry bears a record's name is listed, so that claim() sets aside what
    // cannot be one instead of passing it over at every start.
    for (const QString& name :
         folder.entryList({QStringLiteral("*") + kSuffix},
                          QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        paths.append(folder.filePath(name));
    return paths;
}

platform::RemovedFiles OperationJournal::removeLeftovers()
{
    const QString folder = directory();
    const auto isLock = [](const QString& name) {
        return !idOfName(name, kLockSuffix).isNull();
    };
    const auto recordStandsFor = [&](const QString& lockName) {
        const QString record = lockName.chopped(qsizetype(qstrlen(kLockSuffix))) + QLatin1String(kSuffix);
        return platform::entryExists(folder + QLatin1Char('/') + record);
    };
    const auto isOrphanLock = [&](const QString& name) {
        return isLock(name) && !recordStandsFor(name);
    };
    const auto isRecordsTemporaryFile = [](const QString& name) {
        return !idOfName(platform::finalNameOfTemporaryFile(name), kSuffix).isNull();
    };
    // A lock is asked before its lock is taken too, so that a record's lock is never held by the
    // sweep even briefly (a recovery claiming it meanwhile would take it for a live one).
    return platform::removeUnheldFiles(
        folder, [&](const QString& name) { return isRecordsTemporaryFile(name) || isOrphanLock(name); },
        [&](const QString& name) { return !isLock(name) || !recordStandsFor(name); });
}

QString OperationJournal::directory()
{
    return AppPaths::applicationSupportDirectory() + QStringLiteral("/operations");
}

void OperationJournal::update(const std::function<void(JournalRecord&)>& change)
{
    JournalRecord changed = m_record;
    change(changed);
    platform::AtomicFileWriter file(m_path, 0600);
    file.write(json::compact(changed.toJson()));
    try {
        file.commit();
    } catch (const platform::PlatformError&) {
        // The step is not taken. The new record may already be in place, its folder not flushed:
        // the record as it was goes back, so that the file and record() agree.
        if (file.isCommitted()) {
            try {
                platform::writeFileAtomically(m_path, json::compact(m_record.toJson()), 0600);
            } catch (const platform::PlatformError& error) {
                qCWarning(lcJournal) << "could not put back the operation record" << m_path << error.what();
            }
        }
        throw;
    }
    m_record = std::move(changed);
}

void OperationJournal::finish()
{
    if (m_path.isEmpty())
        return;
    // The removal is not flushed: a crash that undoes it leaves the record of an operation whose
    // end is already on disk, which is the state a crash just before this call leaves too, and the
    // next start's recovery settles that without harm; the next record written flushes the folder
    // anyway. A flush here would cost a disk round trip at the end of every migration and undo, and
    // for every record a start-up puts right.
    if (::unlink(QFile::encodeName(m_path).constData()) != 0 && errno != ENOENT)
        qCWarning(lcJournal) << "could not remove the operation record" << m_path << ::strerror(errno);
    release();
}

QString OperationJournal::setAside()
{
    const QString original = m_path;
    if (original.isEmpty())
        return original;
    const std::optional<QString> moved = renameAside(original);
    release();
    return moved.value_or(original);
}

} // namespace orvalink
