#include "viewmodel/texts/PresentationPrivacy.h"

#include "platform/StandardPath.h"
#include "platform/UserLocations.h"
#include "viewmodel/texts/PathText.h"
#include "viewmodel/texts/TextFolding.h"

#include <QRegularExpression>
#include <algorithm>
#include <utility>

namespace orvalink {

namespace {

const QString kUserMask = QStringLiteral("demo");
const QString kVolumeMask = QStringLiteral("ExternalDisk");

void appendOnce(QStringList& list, const QString& directory)
{
    // "/" has every path as a child; masking below it would hide the first piece of any path.
    if (directory != QLatin1String("/") && !directory.isEmpty() && !list.contains(directory))
        list.append(directory);
}

// The parent among `parents` that `path` lies strictly below; the longest one wins when they nest.
std::optional<QString> enclosingParent(const QString& path, const QStringList& parents)
{
    std::optional<QString> found;
    for (const QString& parent : parents) {
        if (isStrictlyUnder(path, parent) && (!found || parent.size() > found->size()))
            found = parent;
    }
    return found;
}

// Characters that end a sentence or close a quotation rather than continue a file name, also the
// full-width ones of Chinese texts.
bool isClosingPunctuation(QChar c)
{
    return QStringView(u".,;:!?)]}>\"'`。，；：！？）”’").contains(c);
}

// True when the text at `position` starts a new component or leaves the path, so that a path
// ending just before it ends there too: "/home/alice" in "/home/alice/x", "/home/alice." or
// "(/home/alice)", but not in "/home/alice2" or "/home/alice.bak".
bool endsPathComponentAt(const QString& text, qsizetype position)
{
    qsizetype i = position;
    while (i < text.size() && text.at(i) != QLatin1Char('/') && !text.at(i).isSpace()) {
        if (!isClosingPunctuation(text.at(i)))
            return false;
        ++i;
    }
    return true;
}

// True when the text before `position` leaves no path running into it: the start, white space or
// an opening mark ("(/home/alice", "'/home/alice", "at:/home/alice").
bool startsPathAt(const QString& text, qsizetype position)
{
    return position == 0 || text.at(position - 1).isSpace() ||
           QStringView(u"([{<\"'`:=（“‘：").contains(text.at(position - 1));
}

// Replaces `directory` in `text` wherever a path component ends right after it: by `replacement`
// where a path starts with it, by `insideReplacement` (when given) where it stands further inside a
// path ("/mnt/backup/home/alice").
QString replacingDirectory(const QString& text, const QString& directory, const QString& replacement,
                           const std::optional<QString>& insideReplacement = std::nullopt)
{
    // A directory of "/" would turn every slash into the replacement.
    if (directory.isEmpty() || directory == QLatin1String("/"))
        return text;
    QString result;
    qsizetype from = 0;
    for (qsizetype found = text.indexOf(directory); found >= 0; found = text.indexOf(directory, found + 1)) {
        if (found < from || !endsPathComponentAt(text, found + directory.size()))
            continue;
        result += QStringView(text).mid(from, found - from);
        result += insideReplacement && !startsPathAt(text, found) ? *insideReplacement : replacement;
        from = found + directory.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

struct MaskedParent {
    QString directory;
    QString mask;
};

// Replaces the name right below each parent ("/home/bob/x" -> "/home/demo/x") in one pass; where
// parents nest (a volumes folder inside the folder of home folders) the longer one wins.
QString maskingChildNames(const QString& text, QList<MaskedParent> parents)
{
    if (parents.isEmpty())
        return text;
    std::stable_sort(parents.begin(), parents.end(), [](const MaskedParent& lhs, const MaskedParent& rhs) {
        return lhs.directory.size() > rhs.directory.size();
    });
    QStringList alternatives;
    for (const MaskedParent& parent : parents)
        alternatives.append(QRegularExpression::escape(parent.directory));
    const QRegularExpression expression(QStringLiteral("(") + alternatives.join(QLatin1Char('|')) +
                                        QStringLiteral(")/[^/\\s]+"));
    QString result;
    qsizetype from = 0;
    for (auto iterator = expression.globalMatch(text); iterator.hasNext();) {
        const QRegularExpressionMatch match = iterator.next();
        const QString directory = match.captured(1);
        const auto parent = std::find_if(parents.cbegin(), parents.cend(),
                                         [&](const MaskedParent& p) { return p.directory == directory; });
        result += QStringView(text).mid(from, match.capturedStart() - from);
        result += directory + QLatin1Char('/') + parent->mask;
        from = match.capturedEnd();
    }
    result += QStringView(text).mid(from);
    return result;
}

} // namespace

PrivacyLocations PrivacyLocations::of(const QString& homeDirectory, const QString& volumesDirectory,
                                      const QString& userName)
{
    PrivacyLocations locations;
    locations.userName = userName;
    locations.homeDirectory = platform::standardizedPath(homeDirectory);
    const qsizetype slash = locations.homeDirectory.lastIndexOf(QLatin1Char('/'));
    if (slash > 0)
        locations.usersDirectory = locations.homeDirectory.left(slash);
    locations.volumesDirectory = platform::standardizedPath(volumesDirectory);
    return locations;
}

PrivacyLocations PrivacyLocations::current()
{
    return of(platform::homeDirectory(), platform::volumesDirectory(), platform::userName());
}

QString PrivacyLocations::hidingUserName(const QString& path) const
{
    if (userName.isEmpty())
        return path;
    QStringList pieces = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QStringList volumePieces = volumesDirectory.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const qsizetype shared = std::min(pieces.size(), volumePieces.size());
    if (pieces.mid(0, shared) != volumePieces.mid(0, shared))
        return path;
    bool hidden = false;
    for (qsizetype i = 0; i < shared; ++i) {
        if (pieces.at(i) == userName) {
            pieces[i] = kUserMask;
            hidden = true;
        }
    }
    return hidden ? QLatin1Char('/') + pieces.join(QLatin1Char('/')) : path;
}

QStringList PrivacyLocations::userFolderParents() const
{
    QStringList parents;
    if (usersDirectory)
        appendOnce(parents, *usersDirectory);
    appendOnce(parents, QStringLiteral("/Users"));
    return parents;
}

QStringList PrivacyLocations::volumeParents() const
{
    QStringList parents;
    appendOnce(parents, volumesDirectory);
    appendOnce(parents, QStringLiteral("/Volumes"));
    return parents;
}

QStringList PresentationPrivacy::shownVolumeParents() const
{
    QStringList parents;
    for (const QString& parent : m_locations.volumeParents())
        parents.append(m_locations.hidingUserName(parent));
    return parents;
}

PresentationPrivacy::PresentationPrivacy(bool enabled, PrivacyLocations locations, UILanguage language)
    : m_enabled(enabled), m_locations(std::move(locations)), m_language(language)
{}

QString PresentationPrivacy::externalDiskName() const
{
    return BilingualText("外置盘", "External Disk").in(m_language);
}

QString PresentationPrivacy::displayPath(const QString& path) const
{
    const QString trimmed = path.trimmed();
    if (!m_enabled || trimmed.isEmpty() || !trimmed.startsWith(QLatin1Char('/')))
        return trimmed;
    const QString p = platform::standardizedPath(trimmed);
    const QString& home = m_locations.homeDirectory;
    if (p == home)
        return QStringLiteral("~");
    if (isStrictlyUnder(p, home))
        return QLatin1Char('~') + p.mid(home.size());

    const QString shown = m_locations.hidingUserName(p);
    const auto userParent = enclosingParent(shown, m_locations.userFolderParents());
    const auto volumeParent = enclosingParent(shown, shownVolumeParents());
    const bool isVolume = volumeParent && (!userParent || volumeParent->size() > userParent->size());
    const std::optional<QString>& parent = isVolume ? volumeParent : userParent;
    // A migration target mirrors its source's whole path, the home folder included, wherever the
    // target root lies.
    if (!parent)
        return replacingDirectory(shown, home, maskedHomeDirectory());
    const qsizetype childStart = parent->size() + 1;
    const qsizetype childEnd = shown.indexOf(QLatin1Char('/'), childStart);
    const QString rest =
        childEnd < 0 ? QString() : replacingDirectory(shown.mid(childEnd), home, maskedHomeDirectory());
    return *parent + QLatin1Char('/') + (isVolume ? kVolumeMask : kUserMask) + rest;
}

QString PresentationPrivacy::displayName(const QString& path) const
{
    if (path == QLatin1String("/"))
        return path;
    if (!m_enabled)
        return lastPathComponent(path);
    const QString p = platform::standardizedPath(path);
    if (p == m_locations.homeDirectory)
        return QStringLiteral("~");
    const QString shown = m_locations.hidingUserName(p);
    const qsizetype slash = shown.lastIndexOf(QLatin1Char('/'));
    const QString parent = slash > 0 ? shown.left(slash) : QString();
    if (!parent.isEmpty() && m_locations.userFolderParents().contains(parent))
        return kUserMask;
    if (!parent.isEmpty() && shownVolumeParents().contains(parent))
        return externalDiskName();
    // The volumes directory itself, or a folder on the way to it, may be named after the user.
    return lastPathComponent(shown == p ? path : shown);
}

QString PresentationPrivacy::displayVolumeName(const VolumeInfo& volume, int index) const
{
    if (!m_enabled)
        return volume.name;
    const QString number = QString::number(index);
    return BilingualText(QStringLiteral("外置盘 ") + number, QStringLiteral("External Disk ") + number)
        .in(m_language);
}

QString PresentationPrivacy::placeholderEmail()
{
    return QStringLiteral("hidden@example.invalid");
}

QString PresentationPrivacy::displayEmail(const QString& email) const
{
    const QString trimmed = email.trimmed();
    if (!m_enabled || trimmed.isEmpty())
        return trimmed;
    const qsizetype at = trimmed.indexOf(QLatin1Char('@'));
    if (at <= 0 || at == trimmed.size() - 1)
        return placeholderEmail();
    const QString local = leadingCharacters(QStringView(trimmed).left(at), 2);
    const QString domain = trimmed.mid(at + 1);
    const QStringList labels = domain.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (labels.size() >= 2) {
        return local + QStringLiteral("***@") + leadingCharacters(labels.first(), 1) +
               QStringLiteral("***.") + labels.mid(1).join(QLatin1Char('.'));
    }
    return local + QStringLiteral("***@") + leadingCharacters(domain, 1) + QStringLiteral("***");
}

QString PresentationPrivacy::maskedHomeDirectory() const
{
    return m_locations.usersDirectory ? *m_locations.usersDirectory + QLatin1Char('/') + kUserMask
                                      : QLatin1Char('/') + kUserMask;
}

QString PresentationPrivacy::replacingHomeDirectory(const QString& text) const
{
    return replacingDirectory(text, m_locations.homeDirectory, QStringLiteral("~"), maskedHomeDirectory());
}

QString PresentationPrivacy::maskingEmailAddresses(const QString& text) const
{
    static const QRegularExpression emailPattern(QStringLiteral("[A-Z0-9._%+-]+@[A-Z0-9.-]+\\.[A-Z]{2,}"),
                                                 QRegularExpression::CaseInsensitiveOption);
    if (!emailPattern.isValid())
        return text;
    QList<QRegularExpressionMatch> matches;
    for (auto iterator = emailPattern.globalMatch(text); iterator.hasNext();)
        matches.append(iterator.next());
    QString result = text;
    for (auto match = matches.crbegin(); match != matches.crend(); ++match)
        result.replace(match->capturedStart(), match->capturedLength(), displayEmail(match->captured()));
    return result;
}

QString PresentationPrivacy::sanitizedForPresentation(const QString& text) const
{
    if (!m_enabled || text.isEmpty())
        return text;
    QString result = replacingHomeDirectory(text);
    const QString& volumes = m_locations.volumesDirectory;
    result = replacingDirectory(result, volumes, m_locations.hidingUserName(volumes));
    QList<MaskedParent> parents;
    for (const QString& directory : m_locations.userFolderParents())
        parents.append({directory, kUserMask});
    for (const QString& directory : shownVolumeParents())
        parents.append({directory, kVolumeMask});
    result = maskingChildNames(result, parents);
    return maskingEmailAddresses(result);
}

} // namespace orvalink
