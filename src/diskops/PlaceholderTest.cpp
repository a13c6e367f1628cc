#include "diskops/PlaceholderTest.h"

#include "platform/DirectoryListing.h"
#include "platform/EntryStatus.h"
#include "platform/PlatformError.h"

namespace orvalink {

bool isPlaceholder(const QString& path)
{
    try {
        switch (platform::entryStatus(path).kind) {
        case platform::EntryKind::symbolicLink:
            return true;
        case platform::EntryKind::directory:
            return platform::listDirectory(path, true).empty();
        default:
            return false;
        }
    } catch (const platform::PlatformError&) {
        return false;
    }
}

} // namespace orvalink
