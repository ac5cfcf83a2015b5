#include "fuzz/fuzz_targets.h"

#include "platform/files.h"

namespace qel::fuzz {

void Require(bool condition, const char* what) {
  if (!condition) throw TBrokenPromise(what);
}

const std::vector<TFuzzTarget>& FuzzTargets() {
  static const std::vector<TFuzzTarget> targets = {
      {"directory", FuzzDirectory}, {"decoder", FuzzDecoder}, {"name_mask", FuzzNameMask},
      {"manifest", FuzzManifest},
#ifndef _WIN32
      {"hive", FuzzHive},           {"shell_link", FuzzShellLink},
#endif
  };
  return targets;
}

std::string ScratchFolder(const std::string& target) {
  const std::string folder = "C:\\fuzz\\" + target;
  if (!platform::DirectoryExists(folder)) platform::ForceDirectories(folder);
  return folder + "\\";
}

void WriteScratchFile(const std::string& fileName, const std::uint8_t* data, std::size_t size) {
  const platform::FileHandle file = platform::FileCreate(fileName);
  Require(file != platform::InvalidFileHandle, "the scratch file can be created");
  const auto count = static_cast<std::int32_t>(size);
  const bool written = size == 0 || platform::FileWrite(file, data, count) == count;
  platform::FileClose(file);
  Require(written, "the scratch file can be written");
}

}  // namespace qel::fuzz
