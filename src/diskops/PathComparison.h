#pragma once

#include <QString>

namespace orvalink {

// Paths in the safety rules and selection checks compare exactly, except that canonically equivalent
// Unicode spellings (a precomposed "é" and "e" with a combining accent) count as equal: both are
// brought to NFC first.
QString comparableForm(const QString& standardizedPath);

// True when `path` begins with `directory` + "/" (so a directory does not lie under itself, and
// nothing lies under "/" by this test). Both in comparable form.
bool liesUnder(const QString& path, const QString& directory);

} // namespace orvalink
