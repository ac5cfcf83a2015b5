// Module resources on Windows: the program's own, then those libraries registered.
#include "platform/resources.h"

#include "platform/resource_registry.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

ModuleResource FindModuleResource(const std::string& type, const std::string& name) {
  HMODULE module = GetModuleHandleW(nullptr);
  // FindResourceW matches string names and types ignoring case ("#n" is the number n).
  if (HRSRC info = FindResourceW(module, win32::Wide(name).c_str(), win32::Wide(type).c_str()); info != nullptr) {
    if (HGLOBAL loaded = LoadResource(module, info); loaded != nullptr) {
      if (const void* data = LockResource(loaded); data != nullptr) {
        return {static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(SizeofResource(module, info))};
      }
    }
  }
  return FindRegisteredResource(type, name);
}

}  // namespace qel::platform
