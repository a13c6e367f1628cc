#include "model/DirectoryEntry.h"

#include "model/JsonFields.h"

namespace orvalink {

QString toText(EntryKind kind)
{
    return kind == EntryKind::directory ? QStringLiteral("directory") : QStringLiteral("file");
}

std::optional<EntryKind> entryKindFromText(const QString& text)
{
    if (text == QLatin1String("file"))
        return EntryKind::file;
    if (text == QLatin1String("directory"))
        return EntryKind::directory;
    return std::nullopt;
}

DirectoryEntry DirectoryEntry::fromJson(const QJsonObject& object)
{
    using namespace json;
    DirectoryEntry entry;
    entry.id = requireUuid(object, "id");
    entry.name = requireString(object, "name");
    entry.path = requireString(object, "path");
    const auto kind = entryKindFromText(requireString(object, "kind"));
    if (!kind)
        throw DecodeError("unknown kind");
    entry.kind = *kind;
    entry.sizeBytes = requireInt64(object, "sizeBytes");
    entry.modifiedAt = requireDate(object, "modifiedAt");
    entry.childrenCount = optionalInt64(object, "childrenCount");
    entry.isSymbolicLink = optionalBool(object, "isSymbolicLink").value_or(false);
    entry.isAliasFile = optionalBool(object, "isAliasFile").value_or(false);
    entry.isHidden = optionalBool(object, "isHidden").value_or(false);
    return entry;
}

QJsonObject DirectoryEntry::toJson() const
{
    QJsonObject object{
        {QStringLiteral("id"), json::uuidText(id)},
        {QStringLiteral("name"), name},
        {QStringLiteral("path"), path},
        {QStringLiteral("kind"), toText(kind)},
        {QStringLiteral("sizeBytes"), sizeBytes},
        {QStringLiteral("modifiedAt"), json::isoDateText(modifiedAt)},
        {QStringLiteral("isSymbolicLink"), isSymbolicLink},
        {QStringLiteral("isAliasFile"), isAliasFile},
        {QStringLiteral("isHidden"), isHidden},
    };
    if (childrenCount)
        object.insert(QStringLiteral("childrenCount"), *childrenCount);
    return object;
}

} // namespace orvalink
