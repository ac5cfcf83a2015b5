#include "archive/file_helpers.h"

#include <algorithm>

#include "base/exceptions.h"
#include "base/text.h"
#include "platform/files.h"

namespace qel::archive {

namespace {

constexpr std::size_t VolumeLabelBufferSize = 14;

// Computed in floating point so that 64-bit counts cannot overflow the multiplication; the
// range is settled before rounding, so no value outside 0 to 100 is ever converted.
std::int32_t PercentageOf(double part, double whole) {
  if (whole <= 0) return 0;
  const double ratio = 100.0 * part / whole;
  if (!(ratio > 0)) return 0;
  if (ratio >= 100) return 100;
  return static_cast<std::int32_t>(base::RoundHalfEven(ratio));
}

void Replace(std::string& text, char from, char to) { std::replace(text.begin(), text.end(), from, to); }

}  // namespace

std::int32_t Minimum(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
std::int32_t Maximum(std::int32_t a, std::int32_t b) { return a > b ? a : b; }

std::int32_t Percentage(std::int32_t part, std::int32_t whole) {
  return PercentageOf(static_cast<double>(part), static_cast<double>(whole));
}

std::int32_t Percentage64(std::int64_t part, std::int64_t whole) {
  return PercentageOf(static_cast<double>(part), static_cast<double>(whole));
}

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

bool FileExists(const std::string& name) { return platform::FileExists(name); }
bool DirectoryExists(const std::string& name) { return platform::DirectoryExists(name); }
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
