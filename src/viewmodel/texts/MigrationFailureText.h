#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QString>
#include <QStringList>
#include <exception>

namespace orvalink {

// The user's text for a failure text of the disk operations: blank gives the plain failure text;
// an English description is matched by its beginning (or a fixed phrase) against the known
// failures first, whatever its paths hold; a text that matches none and has Chinese outside its
// paths is already localized and comes back as it is; anything else gives the general failure
// text. Not masked: where it is shown, presentation privacy masks it.
BilingualText localizedMigrationFailureMessage(const QString& text);
// The same for a failure caught as an exception.
BilingualText localizedMigrationFailureMessage(const std::exception_ptr& error);

// Refused paths as a refusal lists them: the first three, one a line, then a line counting the others
// (in the bilingual setting each half of the refusal holds that line in its own language).
BilingualText refusedPathsText(const QStringList& paths);

// The refusal of a selection whose paths the safety rules block: at most three paths, then a count.
BilingualText blockedMigrationPathsText(const QStringList& blocked);

} // namespace orvalink
