// The uninstaller's manifest of any bytes: read into lines, each line taken as a path below
// the installation directory. A line the uninstaller accepts names a path below it, however
// the line is spelt: the uninstaller deletes what these paths name.
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/text.h"
#include "fuzz/fuzz_targets.h"
#include "installer/manifest.h"
#include "installer/uninstallation.h"

namespace qel::fuzz {

void FuzzManifest(const std::uint8_t* data, std::size_t size) {
  const std::string folder = ScratchFolder("manifest");
  const std::string manifest = folder + "install.dat";
  WriteScratchFile(manifest, data, size);
  std::vector<std::string> lines;
  try {
    lines = installer::ReadManifest(manifest);
  } catch (const base::Exception&) {
    return;
  }
  for (const std::string& line : lines) {
    Require(line.find_first_of("\r\n") == std::string::npos, "a line holds no line break");
    std::string path;
    if (!installer::TUninstallation::PathBelow(folder, line, path)) continue;
    Require(path.size() > folder.size() && base::SameText(path.substr(0, folder.size()), folder),
            "an accepted line names a path below the folder");
    Require(path.find("\\..\\") == std::string::npos && path.find('\0') == std::string::npos,
            "an accepted path climbs nowhere");
  }
}

}  // namespace qel::fuzz
