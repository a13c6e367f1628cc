#pragma once

#include <QString>
#include <QStringList>

namespace orvalink {

class Presentation;

// The user's text for a failure text of the disk operations: blank gives the plain failure text,
// a text that is already Chinese comes back masked, an English description is matched by its
// beginning (or a fixed phrase) against the known failures. Always masked for presentation.
QString localizedMigrationFailureMessage(const Presentation& texts, const QString& text);

// The refusal of a selection whose paths the safety rules block: at most three paths, then a count.
QString blockedMigrationPathsText(const Presentation& texts, const QStringList& blocked);

} // namespace orvalink
