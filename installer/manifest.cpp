#include "installer/manifest.h"

#include "base/exceptions.h"
#include "base/format.h"
#include "base/stream.h"
#include "base/string_list.h"
#include "platform/code_pages.h"
#include "platform/files.h"

namespace qel::installer {

namespace {

// Marks a manifest in UTF-8. Earlier versions wrote the ANSI code page without a mark, and a
// manifest of ASCII names alone is the same in both, so only a manifest that needs it has one.
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0x80) != 0) return false;
  }
  return true;
}

}  // namespace

void WriteManifest(const std::vector<std::string>& paths, const std::string& fileName) {
  base::TStringList lines;
  for (const std::string& path : paths) lines.Add(path);
  std::string text = lines.Text();
  if (!IsAscii(text)) text.insert(0, Utf8Mark);
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
  if (!result.empty() && result.front().starts_with(Utf8Mark)) {
    result.front().erase(0, Utf8Mark.size());
    return result;
  }
  for (std::string& line : result) {
    if (!IsAscii(line)) line = platform::AnsiToUtf8(line);
  }
  return result;
}

}  // namespace qel::installer
