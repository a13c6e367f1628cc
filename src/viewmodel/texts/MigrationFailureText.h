#pragma once

#include <QString>
#include <QStringList>
#include <exception>

namespace orvalink {

class Presentation;

// The user's text for a failure text of the disk operations: blank gives the plain failure text;
// an English description is matched by its beginning (or a fixed phrase) against the known
// failures first, whatever its paths hold; a text that matches none and has Chinese outside its
// paths is already localized and comes back as it is; anything else gives the general failure
// text. Always masked for presentation.
QString localizedMigrationFailureMessage(const Presentation& texts, const QString& text);
// The same for a failure caught as an exception.
QString localizedMigrationFailureMessage(const Presentation& texts, const std::exception_ptr& error);

// The refusal of a selection whose paths the safety rules block: at most three paths, then a count.
QString blockedMigrationPathsText(const Presentation& texts, const QStringList& blocked);

} // namespace orvalink
