// Exception classes of the installer beyond the framework's own.
#pragma once

#include "base/exceptions.h"

namespace qel::installer {

// A COM object could not be created: "<system text>, ClassID: <class identifier>".
QEL_DECLARE_EXCEPTION(EOleSysError, base::Exception);
// A COM object lacks an interface the caller needs: "Interface not supported".
QEL_DECLARE_EXCEPTION(EIntfCastError, base::Exception);

}  // namespace qel::installer
