// Resources that libraries register with the program at start-up, for builds or
// programs whose module carries no resources of its own.
#pragma once

#include <string>

#include "platform/resources.h"

namespace qel::platform {

// The registered resource of that type and name, matched ignoring case; Data is nullptr
// when none is registered.
ModuleResource FindRegisteredResource(const std::string& type, const std::string& name);

}  // namespace qel::platform
