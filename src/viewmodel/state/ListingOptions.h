#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QString>
#include <array>
#include <optional>

namespace orvalink {

// The three options that shape the listing. Each array below is the declaration order, which is
// also the order the option menus show. Raw texts are exact and case-sensitive.
enum class SortOption { sizeDesc, sizeAsc, typeSizeDesc, typeSizeAsc, nameAsc, modifiedDesc };
enum class FileTypeFilter {
    all,
    folder,
    app,
    image,
    video,
    audio,
    archive,
    document,
    code,
    diskImage,
    other
};
enum class VisibilityFilter { all, visibleOnly, hiddenOnly };

inline constexpr std::array<SortOption, 6> allSortOptions{SortOption::sizeDesc,     SortOption::sizeAsc,
                                                          SortOption::typeSizeDesc, SortOption::typeSizeAsc,
                                                          SortOption::nameAsc,      SortOption::modifiedDesc};

inline constexpr std::array<FileTypeFilter, 11> allFileTypeFilters{
    FileTypeFilter::all,   FileTypeFilter::folder,    FileTypeFilter::app,     FileTypeFilter::image,
    FileTypeFilter::video, FileTypeFilter::audio,     FileTypeFilter::archive, FileTypeFilter::document,
    FileTypeFilter::code,  FileTypeFilter::diskImage, FileTypeFilter::other};

inline constexpr std::array<VisibilityFilter, 3> allVisibilityFilters{
    VisibilityFilter::all, VisibilityFilter::visibleOnly, VisibilityFilter::hiddenOnly};

QString toText(SortOption option);
QString toText(FileTypeFilter filter);
QString toText(VisibilityFilter filter);

// None for an unknown raw text ("size", "All").
std::optional<SortOption> sortOptionFromText(const QString& text);
std::optional<FileTypeFilter> fileTypeFilterFromText(const QString& text);
std::optional<VisibilityFilter> visibilityFilterFromText(const QString& text);

// The position of a type in the declaration order (all = 0 .. other = 10); the type orders sort
// on it.
int typePosition(FileTypeFilter filter);

// Menu titles.
BilingualText sortTitle(SortOption option);
BilingualText fileTypeTitle(FileTypeFilter filter);

} // namespace orvalink
