#include "viewmodel/browsing/FileTypes.h"

#include <QHash>
#include <array>
#include <initializer_list>

namespace orvalink {

namespace {

struct ExtensionSet {
    FileTypeFilter type;
    std::initializer_list<const char*> members;
};

// Every extension with the type of the first set that holds it, built once and shared: one
// lookup per entry instead of one per set.
const QHash<QString, FileTypeFilter>& typeOfExtension()
{
    static const QHash<QString, FileTypeFilter> types = [] {
        // The sets in the order they are tested; "ts" is a video, not code.
        const std::array<ExtensionSet, 7> sets{{
            {FileTypeFilter::image,
             {"jpg", "jpeg", "png", "gif", "webp", "heic", "heif", "bmp", "tiff", "svg", "raw"}},
            {FileTypeFilter::video, {"mp4", "mov", "m4v", "avi", "mkv", "wmv", "flv", "webm", "ts"}},
            {FileTypeFilter::audio, {"mp3", "m4a", "aac", "wav", "flac", "aiff", "ogg", "wma"}},
            {FileTypeFilter::archive, {"zip", "rar", "7z", "tar", "gz", "bz2", "xz", "tgz"}},
            {FileTypeFilter::document,
             {"pdf", "doc", "docx", "ppt", "pptx", "xls", "xlsx", "key", "numbers", "pages", "txt", "rtf",
              "md"}},
            {FileTypeFilter::code, {"swift", "m",   "mm",   "h",    "hpp", "c",  "cpp", "cc",   "py", "js",
                                    "ts",    "tsx", "jsx",  "java", "kt",  "rs", "go",  "php",  "rb", "json",
                                    "xml",   "yml", "yaml", "toml", "ini", "sh", "zsh", "bash", "sql"}},
            {FileTypeFilter::diskImage, {"dmg", "iso", "img", "toast", "vmdk", "vdi", "qcow2"}},
        }};
        QHash<QString, FileTypeFilter> map;
        for (const ExtensionSet& set : sets) {
            for (const char* member : set.members) {
                const QString extension = QString::fromLatin1(member);
                if (!map.contains(extension))
                    map.insert(extension, set.type);
            }
        }
        return map;
    }();
    return types;
}

QStringView extensionOf(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return {};
    return name.mid(dot + 1);
}

} // namespace

QString pathExtension(QStringView name)
{
    return extensionOf(name).toString();
}

FileTypeFilter classifyFileType(QStringView name, EntryKind kind)
{
    if (name.endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
        return FileTypeFilter::app;
    if (kind == EntryKind::directory)
        return FileTypeFilter::folder;
    const QStringView extension = extensionOf(name);
    if (extension.isEmpty())
        return FileTypeFilter::other;
    return typeOfExtension().value(extension.toString().toLower(), FileTypeFilter::other);
}

FileTypeFilter classifyFileType(const DirectoryEntry& entry)
{
    return classifyFileType(entry.name, entry.kind);
}

} // namespace orvalink
