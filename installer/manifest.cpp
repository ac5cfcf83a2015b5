#include "installer/manifest.h"

#include "archive/unzip.h"
#include "base/string_list.h"

namespace qel::installer {

void WriteManifest(const archive::TUnZip& archive, const std::string& fileName) {
  base::TStringList lines;
  for (std::int32_t i = 0; i < archive.Count(); ++i) lines.Add(archive.Pathname(i) + archive.Filename(i));
  lines.SaveToFile(fileName);
}

std::vector<std::string> ReadManifest(const std::string& fileName) {
  base::TStringList lines;
  lines.LoadFromFile(fileName);
  std::vector<std::string> result;
  result.reserve(static_cast<std::size_t>(lines.Count()));
  for (std::int32_t i = 0; i < lines.Count(); ++i) result.push_back(lines.Strings(i));
  return result;
}

}  // namespace qel::installer
