#pragma once

#include "model/DirectoryEntry.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

// The path the user typed as an absolute path: "~" and "~/..." are taken in `homeDirectory`, a path
// beginning with "/" as it is; anything else (relative, "~name") gives none.
std::optional<QString> typedAbsolutePath(const QString& typed, const QString& homeDirectory);

class DirectoryLoader;
class ShownListing;
class ViewModelContext;

// Moves the browser between directories with back and forward histories, and keeps the
// keyboard focus and the selection. Every change of directory starts a load and returns at once.
// Failures set the published error message and change nothing else.
class Navigator : public QObject {
    Q_OBJECT

public:
    Navigator(ViewModelContext& context, DirectoryLoader& loader, ShownListing& listing,
              QStringList applicationsDirectories);

    // Directories to go back and forward to, most recent last; unbounded, not persisted.
    const QStringList& backHistory() const { return m_backHistory; }
    const QStringList& forwardHistory() const { return m_forwardHistory; }
    void clearHistory();

    // To the standardized `path`; the directory already shown only resets the path field.
    void navigate(const QString& path, bool recordHistory);
    void goBack();
    void goForward();
    // At "/" nothing happens.
    void goToParentDirectory();
    // The folder of `path`: the path itself when it is a directory, else its parent when that is
    // one.
    void goToDirectoryContext(const QString& path);
    // The first of the system's applications folders that is a directory.
    void goToSystemApplicationsDirectory();
    // The typed path when it is a directory: a leading "~" stands for the home folder; a relative
    // path is refused with a message.
    void enterPathFromInput();
    // The path field's text as the user types it; nothing is entered before enterPathFromInput().
    void setPathInput(const QString& text);

    // Over the shown listing, never wrapping; a focus the filters hide restarts at an end.
    void focusNextEntry();
    void focusPreviousEntry();
    // Enters the focused entry when it is a directory the list shows (the search and the filters
    // applied).
    void openFocusedEntry();
    // The keyboard focus on `entry` (a click on its row).
    void focusEntry(const DirectoryEntry& entry);
    void setSelection(const DirectoryEntry& entry, bool selected);
    // Nothing selected, and so nothing of size selected.
    void clearSelection();

    // "/" followed by every ancestor of the current directory and the directory itself.
    QStringList breadcrumbPaths() const;

Q_SIGNALS:
    // The back or the forward history changed.
    void historyChanged();

private:
    void step(QStringList& takeFrom, QStringList& pushOnto);
    void moveFocus(int delta);

    ViewModelContext& m_context;
    DirectoryLoader& m_loader;
    ShownListing& m_listing;
    QStringList m_applicationsDirectories;
    QStringList m_backHistory;
    QStringList m_forwardHistory;
};

} // namespace orvalink
