#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace orvalink {

// The notice shown while the folder that holds every application container (the home's
// "Library/Containers") is browsed; none for any other folder, including those inside it.
std::optional<BilingualText> currentDirectoryContainersNoticeText(const QString& currentDirectoryPath,
                                                                  const QString& homeDirectory);

// A date as local date and time in the system locale's short date and a time with seconds; the
// text follows the locale, not the interface language.
QString formatDate(const QDateTime& date, const QLocale& locale = QLocale::system());

// The message after a path was put on the clipboard.
BilingualText pathCopiedText();

// The information line once the start-up has listed the first directory.
BilingualText startupListedText();

// The path that revealing `path` shows (trimmed and standardized), or none for a blank one.
std::optional<QString> revealTargetPath(const QString& path);
// The error for a revealed path that does not exist; `standardizedPath` is shown as it is.
BilingualText pathDoesNotExistText(const QString& standardizedPath);
// The information after no file manager could show `shownPath` (already masked as needed).
BilingualText revealFailedText(const QString& shownPath);

} // namespace orvalink
