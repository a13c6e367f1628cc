#pragma once

#include "viewmodel/state/Localizer.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace orvalink {

// The notice shown while the folder that holds every application container (the home's
// "Library/Containers") is browsed; none for any other folder, including those inside it.
std::optional<QString> currentDirectoryContainersNoticeText(const QString& currentDirectoryPath,
                                                            const QString& homeDirectory,
                                                            const Localizer& localizer);

// A date as local date and time in the system locale's short date and a time with seconds; the
// text follows the locale, not the interface language.
QString formatDate(const QDateTime& date, const QLocale& locale = QLocale::system());

// The message after a path was put on the clipboard.
QString pathCopiedText(const Localizer& localizer);

// The information line once the start-up has listed the first directory.
QString startupListedText(const Localizer& localizer);

// The path that revealing `path` shows (trimmed and standardized), or none for a blank one.
std::optional<QString> revealTargetPath(const QString& path);
// The error for a revealed path that does not exist; `standardizedPath` is shown as it is.
QString pathDoesNotExistText(const Localizer& localizer, const QString& standardizedPath);
// The information after no file manager could show `shownPath` (already masked as needed).
QString revealFailedText(const Localizer& localizer, const QString& shownPath);

} // namespace orvalink
