#include "viewmodel/browsing/Navigator.h"

#include "platform/StandardPath.h"
#include "platform/UserLocations.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QFileInfo>
#include <algorithm>

namespace orvalink {

namespace {

// Links followed, as the file manager's existence test does.
bool isDirectory(const QString& path)
{
    return QFileInfo(path).isDir();
}

} // namespace

std::optional<QString> typedAbsolutePath(const QString& typed, const QString& homeDirectory)
{
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        return homeDirectory + typed.mid(1);
    if (typed.startsWith(QLatin1Char('/')))
        return typed;
    return std::nullopt;
}

Navigator::Navigator(ViewModelContext& context, DirectoryLoader& loader, ShownListing& listing,
                     QStringList applicationsDirectories)
    : m_context(context), m_loader(loader), m_listing(listing),
      m_applicationsDirectories(std::move(applicationsDirectories))
{}

void Navigator::clearHistory()
{
    if (m_backHistory.isEmpty() && m_forwardHistory.isEmpty())
        return;
    m_backHistory.clear();
    m_forwardHistory.clear();
    Q_EMIT historyChanged();
}

void Navigator::navigate(const QString& path, bool recordHistory)
{
    const QString target = platform::standardizedPath(path);
    if (target == m_context.browsing().currentDirectoryPath()) {
        m_context.browsing().setPathInput(target);
        return;
    }
    if (recordHistory) {
        m_backHistory.append(m_context.browsing().currentDirectoryPath());
        m_forwardHistory.clear();
        Q_EMIT historyChanged();
    }
    m_context.browsing().setCurrentDirectoryPath(target);
    m_context.browsing().setPathInput(target);
    m_context.browsing().setFocusedEntryPath(std::nullopt);
    m_loader.startLoad(false);
}

void Navigator::step(QStringList& takeFrom, QStringList& pushOnto)
{
    if (takeFrom.isEmpty())
        return;
    const QString target = takeFrom.takeLast();
    pushOnto.append(m_context.browsing().currentDirectoryPath());
    Q_EMIT historyChanged();
    m_context.browsing().setCurrentDirectoryPath(target);
    m_context.browsing().setPathInput(target);
    m_loader.startLoad(false);
}

void Navigator::goBack()
{
    step(m_backHistory, m_forwardHistory);
}

void Navigator::goForward()
{
    step(m_forwardHistory, m_backHistory);
}

void Navigator::goToParentDirectory()
{
    const QString parent =
        platform::parentPath(platform::standardizedPath(m_context.browsing().currentDirectoryPath()));
    if (parent != m_context.browsing().currentDirectoryPath())
        navigate(parent, true);
}

void Navigator::goToDirectoryContext(const QString& path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty())
        return;
    const QString standardized = platform::standardizedPath(trimmed);
    const QFileInfo info(standardized);
    if (info.exists()) {
        navigate(info.isDir() ? standardized : platform::parentPath(standardized), true);
        return;
    }
    const QString parent = platform::parentPath(standardized);
    if (isDirectory(parent)) {
        navigate(parent, true);
        return;
    }
    m_context.activity().setErrorMessage(
        BilingualText(QStringLiteral("无法定位目录：") + standardized,
                      QStringLiteral("Unable to locate a directory for ") + standardized));
}

void Navigator::goToSystemApplicationsDirectory()
{
    for (const QString& directory : std::as_const(m_applicationsDirectories)) {
        if (isDirectory(directory)) {
            navigate(directory, true);
            return;
        }
    }
    m_context.activity().setErrorMessage(
        BilingualText("未找到系统应用目录。", "System Applications directory not found."));
}

void Navigator::enterPathFromInput()
{
    const QString trimmed = m_context.browsing().pathInput().trimmed();
    if (trimmed.isEmpty())
        return;
    const std::optional<QString> typed = typedAbsolutePath(trimmed, platform::homeDirectory());
    if (!typed) {
        // The program's working directory means nothing to the user: only a full path is taken.
        m_context.activity().setErrorMessage(
            BilingualText(QStringLiteral("请输入完整路径（以 / 或 ~ 开头）：") + trimmed,
                          QStringLiteral("Enter a full path that begins with / or ~: ") + trimmed));
        return;
    }
    const QString target = platform::standardizedPath(*typed);
    if (isDirectory(target)) {
        navigate(target, true);
        return;
    }
    m_context.activity().setErrorMessage(
        BilingualText(QStringLiteral("目录不存在或不是目录：") + target,
                      QStringLiteral("Directory does not exist or is not a directory: ") + target));
}

void Navigator::setPathInput(const QString& text)
{
    m_context.browsing().setPathInput(text);
}

void Navigator::moveFocus(int delta)
{
    const QList<DirectoryEntry>& shown = m_listing.sortedEntries();
    if (shown.isEmpty())
        return;
    const auto& focus = m_context.browsing().focusedEntryPath();
    const auto found = focus ? std::find_if(shown.cbegin(), shown.cend(),
                                            [&](const DirectoryEntry& entry) { return entry.path == *focus; })
                             : shown.cend();
    qsizetype index = 0;
    if (found == shown.cend())
        index = delta > 0 ? 0 : shown.size() - 1;
    else
        index = std::clamp<qsizetype>((found - shown.cbegin()) + delta, 0, shown.size() - 1);
    m_context.browsing().setFocusedEntryPath(shown[index].path);
}

void Navigator::focusNextEntry()
{
    moveFocus(1);
}

void Navigator::focusPreviousEntry()
{
    moveFocus(-1);
}

void Navigator::openFocusedEntry()
{
    const auto& focus = m_context.browsing().focusedEntryPath();
    if (!focus)
        return;
    // Only what the list shows: a focused folder the search or a filter hides is not entered.
    const QList<DirectoryEntry>& shown = m_listing.sortedEntries();
    const auto entry = std::find_if(shown.cbegin(), shown.cend(), [&](const DirectoryEntry& candidate) {
        return candidate.path == *focus;
    });
    if (entry != shown.cend() && entry->isDirectory())
        navigate(entry->path, true);
}

void Navigator::focusEntry(const DirectoryEntry& entry)
{
    m_context.browsing().setFocusedEntryPath(entry.path);
}

void Navigator::setSelection(const DirectoryEntry& entry, bool selected)
{
    QSet<QString> paths = m_context.browsing().selectedPaths();
    if (selected)
        paths.insert(entry.path);
    else
        paths.remove(entry.path);
    m_context.browsing().setSelectedPaths(paths);
    m_loader.updateSelectedSize(m_context.browsing().entries());
}

void Navigator::clearSelection()
{
    m_context.browsing().setSelectedPaths({});
    m_context.browsing().setSelectedSizeBytes(0);
}

QStringList Navigator::breadcrumbPaths() const
{
    QStringList crumbs{QStringLiteral("/")};
    QString prefix;
    const QString path = platform::standardizedPath(m_context.browsing().currentDirectoryPath());
    for (const QString& piece : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        prefix += QLatin1Char('/') + piece;
        crumbs.append(prefix);
    }
    return crumbs;
}

} // namespace orvalink
