#include "model/CopyShortfall.h"

namespace orvalink {

namespace {

CopyShortfall withReason(CopyShortfall::Reason reason, const QString& entry)
{
    CopyShortfall shortfall;
    shortfall.reason = reason;
    shortfall.entry = entry;
    return shortfall;
}

} // namespace

CopyShortfall CopyShortfall::keptChanging(const QString& entry)
{
    return withReason(Reason::keptChanging, entry);
}

CopyShortfall CopyShortfall::writtenInRemoval(const QString& entry)
{
    return withReason(Reason::writtenInRemoval, entry);
}

CopyShortfall CopyShortfall::volumeCannotKeep(const QString& fileSystem, platform::Unkept unkept,
                                              const QString& entry)
{
    CopyShortfall shortfall = withReason(Reason::volumeCannotKeep, entry);
    shortfall.unkept = unkept;
    shortfall.fileSystem = fileSystem;
    return shortfall;
}

CopyShortfall CopyShortfall::copyGone(const QString& entry)
{
    return withReason(Reason::copyGone, entry);
}

CopyShortfall CopyShortfall::copyHidden(const QString& entry, const QString& mountPoint)
{
    CopyShortfall shortfall = withReason(Reason::copyHidden, entry);
    shortfall.mountPoint = mountPoint;
    return shortfall;
}

CopyShortfall CopyShortfall::copyHiddenAfterRemoval(const QString& targetPath, const QString& mountPoint)
{
    CopyShortfall shortfall = withReason(Reason::copyHiddenAfterRemoval, targetPath);
    shortfall.mountPoint = mountPoint;
    return shortfall;
}

CopyShortfall CopyShortfall::volumeUntold(const QString& folder, const QString& why)
{
    CopyShortfall shortfall = withReason(Reason::volumeUntold, folder);
    shortfall.why = why;
    return shortfall;
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
    if (reason == Reason::copyHidden)
        return QStringLiteral("the copy of ") + entry +
               QStringLiteral(" on the external disk was hidden by a file system mounted at ") + mountPoint +
               QStringLiteral(" before the original went");
    if (reason == Reason::copyHiddenAfterRemoval)
        return QStringLiteral("the original went, and its copy is whole at ") + entry +
               QStringLiteral(", hidden under the file system mounted at ") + mountPoint +
               QStringLiteral(". Unmount that file system: the next start finishes the migration.");
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
