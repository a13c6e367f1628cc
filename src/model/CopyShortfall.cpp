#include "model/CopyShortfall.h"

namespace orvalink {

CopyShortfall CopyShortfall::keptChanging(const QString& entry)
{
    return CopyShortfall{Reason::keptChanging, entry, platform::Unkept::modes, QString(), QString()};
}

CopyShortfall CopyShortfall::writtenInRemoval(const QString& entry)
{
    return CopyShortfall{Reason::writtenInRemoval, entry, platform::Unkept::modes, QString(), QString()};
}

CopyShortfall CopyShortfall::volumeCannotKeep(const QString& fileSystem, platform::Unkept unkept,
                                              const QString& entry)
{
    return CopyShortfall{Reason::volumeCannotKeep, entry, unkept, fileSystem, QString()};
}

CopyShortfall CopyShortfall::copyGone(const QString& entry)
{
    return CopyShortfall{Reason::copyGone, entry, platform::Unkept::modes, QString(), QString()};
}

CopyShortfall CopyShortfall::volumeUntold(const QString& folder, const QString& why)
{
    return CopyShortfall{Reason::volumeUntold, folder, platform::Unkept::modes, QString(), why};
}

QString CopyShortfall::description() const
{
    if (reason == Reason::keptChanging)
        return entry + QStringLiteral(" kept changing while it was copied");
    if (reason == Reason::writtenInRemoval)
        return entry + QStringLiteral(" was written while the original was being removed");
    if (reason == Reason::copyGone)
        return QStringLiteral("the copy of ") + entry +
               QStringLiteral(" on the external disk was removed or changed before the original went");
    if (reason == Reason::volumeUntold)
        return QStringLiteral("what the external disk can keep could not be tried in ") + entry +
               QStringLiteral(" (") + why + QStringLiteral("). Nothing was moved.");
    return QStringLiteral("the external disk's file system (") + fileSystem +
           QStringLiteral(") cannot keep ") + unkeptText(unkept) + QStringLiteral(", first: ") + entry +
           QStringLiteral(". Nothing was moved.");
}

QString unkeptText(platform::Unkept unkept)
{
    using platform::Unkept;
    switch (unkept) {
    case Unkept::modes:
        return QStringLiteral("file permissions");
    case Unkept::owners:
        return QStringLiteral("file owners");
    case Unkept::symbolicLinks:
        return QStringLiteral("symbolic links");
    case Unkept::hardLinks:
        return QStringLiteral("hard links");
    case Unkept::specialFiles:
        return QStringLiteral("special files such as named pipes");
    case Unkept::extendedAttributes:
        return QStringLiteral("extended attributes");
    case Unkept::accessControlLists:
        return QStringLiteral("access control lists");
    case Unkept::names:
        return QStringLiteral("the characters of some names");
    case Unkept::caseOnlyNames:
        return QStringLiteral("names that differ only in case");
    }
    return QString();
}

} // namespace orvalink
