// Module resources of the stand-in: the tables libraries register at start-up.
#include "platform/resources.h"

#include "platform/resource_registry.h"

namespace qel::platform {

ModuleResource FindModuleResource(const std::string& type, const std::string& name) {
  return FindRegisteredResource(type, name);
}

}  // namespace qel::platform
