// The registry of resources behind RegisterModuleResource.
#include "platform/resource_registry.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include "platform/unicode_text.h"

namespace qel::platform {

namespace {

using TResourceKey = std::pair<std::string, std::string>;

std::string Folded(const std::string& text) { return UpperCaseText(text); }

// Built on first use: libraries register from their static initialisers, in an order
// no one controls.
std::map<TResourceKey, ModuleResource>& Registry() {
  static std::map<TResourceKey, ModuleResource> registry;
  return registry;
}

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void RegisterModuleResource(const std::string& type, const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry()[{Folded(type), Folded(name)}] = ModuleResource{data, size};
}

ModuleResource FindRegisteredResource(const std::string& type, const std::string& name) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  const auto found = Registry().find({Folded(type), Folded(name)});
  return found == Registry().end() ? ModuleResource{} : found->second;
}

}  // namespace qel::platform
