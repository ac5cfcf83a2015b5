#include "installer/manifest.h"

#include "base/exceptions.h"
#include "base/format.h"
#include "base/stream.h"
#include "base/string_list.h"
#include "platform/files.h"

namespace qel::installer {

void WriteManifest(const std::vector<std::string>& paths, const std::string& fileName) {
  base::TStringList lines;
  for (const std::string& path : paths) lines.Add(path);
  const std::string text = lines.Text();
  std::string failure;
  {
    base::TFileStream file(fileName, base::fmCreate);
    // A manifest holds one line an entry: far below the 2 GB of one write.
    const auto size = static_cast<std::int32_t>(text.size());
    if (file.Write(text.data(), size) != size) {
      failure = base::Format("Cannot write to file \"%s\". %s", {fileName, platform::LastErrorText()});
    }
  }
  if (failure.empty()) return;
  platform::DeleteFile(fileName);
  throw base::EWriteError(failure);
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
