#pragma once

#include "model/DirectoryEntry.h"
#include "viewmodel/state/ListingOptions.h"

#include <QString>
#include <QStringView>

namespace orvalink {

// The extension of a file name: the text after its last ".", none (empty) when the name has no
// dot, ends with one, or has its only dot first (".bashrc" is a hidden name, not an extension).
QString pathExtension(QStringView name);

// The type of a listed entry, never `all`: a name ending in ".app" (any case, folders too) is an
// app; other folders are folders; files go by their lower-cased extension through the image,
// video, audio, archive, document, code and disk-image sets in that order ("ts" is in the video
// and the code set, so it is a video), else `other`.
FileTypeFilter classifyFileType(QStringView name, EntryKind kind);
FileTypeFilter classifyFileType(const DirectoryEntry& entry);

} // namespace orvalink
