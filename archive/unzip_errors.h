// The failures the archive component raises itself.
#pragma once

#include "base/exceptions.h"

namespace qel::archive {

// The archive's data cannot be read on (for example PrematureEndText).
QEL_DECLARE_EXCEPTION(EFatalUnzipError, base::Exception);
inline constexpr const char* PrematureEndText = "Premature end of file reached";
// No end-of-central-directory record, and the component was told to assume a multi-disk archive.
QEL_DECLARE_EXCEPTION(EIncompleteZip, base::Exception);
// The user cancelled a dialog or a request for another disk.
QEL_DECLARE_EXCEPTION(EUserCanceled, base::Exception);
// One entry asked for in memory did not come out right: 'Cannot extract "name": reason'.
QEL_DECLARE_EXCEPTION(EUnzipEntryError, base::Exception);

}  // namespace qel::archive
