#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace orvalink {

// The search form of a text: full-width and half-width forms replaced by their ordinary width,
// case folded and lower-cased, diacritics (non-spacing marks) removed, then composed again (NFC)
// so that equal texts compare equal code unit by code unit. Works character by character, so the
// fold of a path is the fold of its parent, "/", and the fold of its name.
QString foldForSearch(QStringView text);

// The user-perceived characters (grapheme clusters) of a text, in order.
QStringList graphemeClusters(QStringView text);

// True when every user-perceived character of the text is one UTF-16 code unit, so that walking
// the code units walks the characters.
bool hasOnlySingleUnitCharacters(QStringView text);
// The same for "/" followed by the text, as a name stands in its path.
bool hasOnlySingleUnitCharactersAfterSlash(QStringView text);

// The first `count` user-perceived characters (the whole text when it is shorter).
QString leadingCharacters(QStringView text, int count);

} // namespace orvalink
