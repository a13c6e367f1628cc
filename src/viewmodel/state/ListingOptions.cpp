#include "viewmodel/state/ListingOptions.h"

namespace orvalink {

namespace {

// An option's raw text and its menu title.
struct OptionTexts {
    const char* raw;
    BilingualText title;
};

const std::array<OptionTexts, 6> kSortTexts{{
    {"sizeDesc", {"大小降序", "Size DESC"}},
    {"sizeAsc", {"大小升序", "Size ASC"}},
    {"typeSizeDesc", {"类型+大小降序", "Type + Size DESC"}},
    {"typeSizeAsc", {"类型+大小升序", "Type + Size ASC"}},
    {"nameAsc", {"名称", "Name"}},
    {"modifiedDesc", {"修改时间降序", "Modified DESC"}},
}};

const std::array<OptionTexts, 11> kFileTypeTexts{{
    {"all", {"全部类型", "All Types"}},
    {"folder", {"目录", "Folders"}},
    {"app", {"应用", "Apps"}},
    {"image", {"图片", "Images"}},
    {"video", {"视频", "Videos"}},
    {"audio", {"音频", "Audio"}},
    {"archive", {"压缩包", "Archives"}},
    {"document", {"文档", "Documents"}},
    {"code", {"代码", "Code"}},
    {"diskImage", {"镜像/虚拟盘", "Disk Images"}},
    {"other", {"其他", "Others"}},
}};

constexpr std::array<const char*, 3> kVisibilityTexts{"all", "visibleOnly", "hiddenOnly"};

// The enumerations are declared in table order, so the underlying value indexes the tables.
template <typename Enum> std::size_t indexOf(Enum value)
{
    return static_cast<std::size_t>(value);
}

template <typename Enum, std::size_t N>
std::optional<Enum> fromRawText(const QString& text, const std::array<Enum, N>& cases,
                                QString (*rawText)(Enum))
{
    for (Enum value : cases) {
        if (rawText(value) == text)
            return value;
    }
    return std::nullopt;
}

} // namespace

QString toText(SortOption option)
{
    return QString::fromUtf8(kSortTexts[indexOf(option)].raw);
}

QString toText(FileTypeFilter filter)
{
    return QString::fromUtf8(kFileTypeTexts[indexOf(filter)].raw);
}

QString toText(VisibilityFilter filter)
{
    return QString::fromUtf8(kVisibilityTexts[indexOf(filter)]);
}

std::optional<SortOption> sortOptionFromText(const QString& text)
{
    return fromRawText<SortOption>(text, allSortOptions, &toText);
}

std::optional<FileTypeFilter> fileTypeFilterFromText(const QString& text)
{
    return fromRawText<FileTypeFilter>(text, allFileTypeFilters, &toText);
}

std::optional<VisibilityFilter> visibilityFilterFromText(const QString& text)
{
    return fromRawText<VisibilityFilter>(text, allVisibilityFilters, &toText);
}

int typePosition(FileTypeFilter filter)
{
    return static_cast<int>(indexOf(filter));
}

BilingualText sortTitle(SortOption option)
{
    return kSortTexts[indexOf(option)].title;
}

BilingualText fileTypeTitle(FileTypeFilter filter)
{
    return kFileTypeTexts[indexOf(filter)].title;
}

} // namespace orvalink
