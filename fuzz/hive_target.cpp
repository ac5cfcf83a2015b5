// The stand-in's REGEDIT4 hive reader on any text. What it reads it must be able to write and
// read back unchanged: a hive that changed on its next load would lose or alter keys.
#include <string>
#include <string_view>

#include "fuzz/fuzz_targets.h"
#include "platform/posix/registry_hive.h"

namespace qel::fuzz {

void FuzzHive(const std::uint8_t* data, std::size_t size) {
  constexpr std::string_view RootName = "HKEY_CURRENT_USER";
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  platform::posix::TRegistryKeyNode first;
  platform::posix::ParseHive(text, RootName, first);
  const std::string written = platform::posix::FormatHive(first, RootName);
  platform::posix::TRegistryKeyNode second;
  platform::posix::ParseHive(written, RootName, second);
  Require(platform::posix::FormatHive(second, RootName) == written, "a written hive reads back as it was");
}

}  // namespace qel::fuzz
