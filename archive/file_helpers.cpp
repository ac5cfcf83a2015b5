#include "archive/file_helpers.h"

#include <algorithm>

#include "base/exceptions.h"
#include "base/text.h"
#include "platform/files.h"

namespace qel::archive {

namespace {

constexpr std::size_t VolumeLabelBufferSize = 14;

void Replace(std::string& text, char from, char to) { std::replace(text.begin(), text.end(), from, to); }

}  // namespace

void SlashesToBackslashes(std::string& text) { Replace(text, '/', '\\'); }
void BackslashesToSlashes(std::string& text) { Replace(text, '\\', '/'); }

std::string LeftPart(const std::string& text, std::int32_t n) {
  if (n <= 0) return {};
  return text.substr(0, static_cast<std::size_t>(n));
}

std::string RightPart(const std::string& text, std::int32_t n) {
  if (n <= 0) return {};
  const auto count = static_cast<std::size_t>(n);
  return count >= text.size() ? text : text.substr(text.size() - count);
}

bool CreateDirectories(const std::string& path) { return platform::ForceDirectories(path); }

std::string CurrentDirectory() { return platform::GetCurrentDir(); }

void ChangeDirectory(const std::string& path) {
  if (platform::SetCurrentDir(path)) return;
  const auto code = static_cast<int>(platform::LastErrorCode());
  throw base::EInOutError(platform::LastErrorText(), code);
}

std::string VolumeLabel(const std::string& root) {
  return LeftPart(platform::GetVolumeLabel(root), static_cast<std::int32_t>(VolumeLabelBufferSize - 1));
}

}  // namespace qel::archive
