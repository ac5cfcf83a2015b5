// Resources of the program's own module (FindResource / LoadResource / LockResource).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qel::platform {

struct ModuleResource {
  const std::uint8_t* Data = nullptr;  // nullptr when no resource was found
  std::size_t Size = 0;
};

// Type and name are matched case-insensitively, as Windows does.
ModuleResource FindModuleResource(const std::string& type, const std::string& name);

// How a library embeds a resource in the program on POSIX, where there are no .rc files.
// Registered data must outlive every lookup (static tables). On Windows the module's own
// resources are searched first and registered ones after them.
void RegisterModuleResource(const std::string& type, const std::string& name, const std::uint8_t* data, std::size_t size);

}  // namespace qel::platform
