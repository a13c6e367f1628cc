#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace orvalink::platform {

// Text bound for a terminal (standard error, a log read with cat) may hold a path, and a path may
// hold any byte but NUL and "/": an escape sequence in a folder name would clear the screen, set
// the window title or worse. These spell every such byte out instead, in the notation of a shell's
// $'...' quoting, so what is printed reads the same and can be typed back:
// - the C0 controls and DEL become \a \b \t \n \v \f \r \e or \xNN (two lower-case hex digits);
// - a C1 control (U+0080 to U+009F, which some terminals obey like ESC [) becomes the \xNN of each of
//   its UTF-8 bytes, and so does every byte that is not part of valid UTF-8;
// - a backslash becomes \\, so that no escape can be forged;
// - everything else, Chinese text included, is left as it is.
QByteArray terminalSafe(QByteArrayView bytes);
// The same for the UTF-8 of `text`.
QString terminalSafe(const QString& text);

// `path` as one word of a POSIX shell command that a terminal shows harmlessly: in single quotes
// when nothing in it needs escaping, else in $'...' with the escapes above (and \' for a quote).
QString shellWord(const QString& path);

// Passes every message of Qt's logging (qWarning, the logging categories) through terminalSafe()
// before the handler in place writes it: the diagnostics name paths too. Call once, early in main().
void escapeLogMessages();

} // namespace orvalink::platform
