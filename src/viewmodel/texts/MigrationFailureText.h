#pragma once

#include "model/OrvalinkError.h"
#include "viewmodel/state/BilingualText.h"

#include <QString>
#include <QStringList>
#include <exception>

namespace orvalink {

struct FailedMigrationRecord;

// The user's texts for the failures of the disk operations. An error of our own is said by its case
// and its fields alone (the programs that hold a folder), never by its English description, so a
// reworded description never changes what the window says. Not masked: where a text is shown,
// presentation privacy masks it.

// The text of a failure of `errorCase`; `processes` are the programs that held the folder (an
// in-use failure).
BilingualText failureCaseText(OrvalinkError::Case errorCase, const QStringList& processes = {});

// A migration refused because its copy would have held less than the folder: what kept changing,
// or what the volume's file system cannot keep and the first entry concerned.
BilingualText shortfallText(const CopyShortfall& shortfall);

// The text of a failure caught as an exception: an OrvalinkError by its shortfall or its case and
// fields; any other error by its description (see failureDescriptionText).
BilingualText localizedMigrationFailureMessage(const std::exception_ptr& error);

// The reason of a failed item: by what its copy fell short of, else by its recorded error case and
// programs; a record without a case by its message, and without a message by its status (rolled
// back or not). Then where the versions that newer ones replaced were kept, if anywhere.
BilingualText failedItemText(const FailedMigrationRecord& record);

// The text of a failure that has no case of ours (a platform error, a refused administrator
// command): blank gives the plain failure text; a text with Chinese outside its paths is already
// localized and comes back as it is; anything else gives the general failure text.
BilingualText failureDescriptionText(const QString& text);

// Refused paths as a refusal lists them: the first three, one a line, then a line counting the others
// (in the bilingual setting each half of the refusal holds that line in its own language).
BilingualText refusedPathsText(const QStringList& paths);

// The refusal of a selection whose paths the safety rules block: at most three paths, then a count.
BilingualText blockedMigrationPathsText(const QStringList& blocked);

} // namespace orvalink
