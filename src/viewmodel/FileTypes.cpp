#include "viewmodel/FileTypes.h"

#include <QSet>
#include <array>
#include <utility>

namespace orvalink {

namespace {

QSet<QString> extensionSet(std::initializer_list<const char*> members)
{
    QSet<QString> set;
    for (const char* member : members)
        set.insert(QString::fromLatin1(member));
    return set;
}

// Built once and shared; tested in this order.
const std::array<std::pair<FileTypeFilter, QSet<QString>>, 7>& extensionSets()
{
    static const std::array<std::pair<FileTypeFilter, QSet<QString>>, 7> sets{{
        {FileTypeFilter::image,
         extensionSet({"jpg", "jpeg", "png", "gif", "webp", "heic", "heif", "bmp", "tiff", "svg", "raw"})},
        {FileTypeFilter::video,
         extensionSet({"mp4", "mov", "m4v", "avi", "mkv", "wmv", "flv", "webm", "ts"})},
        {FileTypeFilter::audio, extensionSet({"mp3", "m4a", "aac", "wav", "flac", "aiff", "ogg", "wma"})},
        {FileTypeFilter::archive, extensionSet({"zip", "rar", "7z", "tar", "gz", "bz2", "xz", "tgz"})},
        {FileTypeFilter::document, extensionSet({"pdf", "doc", "docx", "ppt", "pptx", "xls", "xlsx", "key",
                                                 "numbers", "pages", "txt", "rtf", "md"})},
        {FileTypeFilter::code,
         extensionSet({"swift", "m",   "mm",   "h",    "hpp", "c",  "cpp", "cc",   "py", "js",
                       "ts",    "tsx", "jsx",  "java", "kt",  "rs", "go",  "php",  "rb", "json",
                       "xml",   "yml", "yaml", "toml", "ini", "sh", "zsh", "bash", "sql"})},
        {FileTypeFilter::diskImage, extensionSet({"dmg", "iso", "img", "toast", "vmdk", "vdi", "qcow2"})},
    }};
    return sets;
}

} // namespace

QString pathExtension(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return QString();
    return name.mid(dot + 1).toString();
}

FileTypeFilter classifyFileType(QStringView name, EntryKind kind)
{
    if (name.endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
        return FileTypeFilter::app;
    if (kind == EntryKind::directory)
        return FileTypeFilter::folder;
    const QString extension = pathExtension(name).toLower();
    if (extension.isEmpty())
        return FileTypeFilter::other;
    for (const auto& [type, members] : extensionSets()) {
        if (members.contains(extension))
            return type;
    }
    return FileTypeFilter::other;
}

FileTypeFilter classifyFileType(const DirectoryEntry& entry)
{
    return classifyFileType(entry.name, entry.kind);
}

} // namespace orvalink
