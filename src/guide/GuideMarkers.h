#pragma once

#include <QString>
#include <cstdio>

namespace orvalink::guide {

// Writes `line` and a line feed to `stream` and flushes it at once: the scripts that wait for a
// marker read it through a pipe, where unflushed output would sit in the buffer (or be lost when
// the process ends).
void writeMarker(std::FILE* stream, const QString& line);

// Writes the failure `line` to standard error, flushes both standard streams and ends the process
// at once with status 1: nothing of the application runs any more.
[[noreturn]] void failProcess(const QString& line);

} // namespace orvalink::guide
