// The runs of qelunzip that decode entries: extraction, test, and extraction to standard
// output, each of the chosen entries of an archive whose directory has been read.
#pragma once

#include "archive/unzip.h"
#include "tools/qelunzip_options.h"
#include "tools/qelunzip_selection.h"

namespace qel::tools {

// Extracts (or with TAction::Test tests) the chosen entries, naming each that does not come
// out right. Returns esOk, esWarning, or esBadPassword when nothing came out and only wrong
// passwords kept it; what breaks the run (a damaged archive, a full disk, Ctrl-C as
// archive::EUserCanceled) is raised.
int ExtractEntries(archive::TUnZip& zip, const TSelection& selection, const TOptions& options);

// Writes the chosen entries' bytes one after another to standard output, in the archive's
// order; what does not come out right is named on standard error. Returns as ExtractEntries.
int PipeEntries(archive::TUnZip& zip, const TSelection& selection, const TOptions& options);

// -u and -f: leaves out every entry whose file at its destination is at least as new as the
// entry, and with -f also those without a file (and folder entries).
void LeaveOutUpToDate(const archive::TUnZip& zip, TSelection& selection, const TOptions& options);

}  // namespace qel::tools
