#include "archive/output_path.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/text.h"
#include "platform/code_pages.h"

namespace qel::archive {
namespace {

constexpr std::string_view RefusedCharacters = "<>:\"/\\|?*";
constexpr std::array<std::string_view, 4> DeviceNames = {"CON", "PRN", "AUX", "NUL"};
constexpr std::array<std::string_view, 2> NumberedDeviceNames = {"COM", "LPT"};

std::string WithSeparator(const std::string& folder) { return folder.empty() ? std::string() : folder + "\\"; }

bool OnlyDotsAndSpaces(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
}

// The part of a name before its first dot, without the trailing spaces Windows ignores.
bool IsDeviceName(std::string_view name) {
  std::string stem = base::UpperCase(std::string(name.substr(0, name.find('.'))));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (std::string_view device : DeviceNames) {
    if (stem == device) return true;
  }
  for (std::string_view device : NumberedDeviceNames) {
    if (stem.size() == 4 && stem.compare(0, 3, device) == 0 && stem[3] >= '1' && stem[3] <= '9') return true;
  }
  return false;
}

}  // namespace

bool IsAcceptableName(const std::string& name) {
  if (name.empty() || OnlyDotsAndSpaces(name) || IsDeviceName(name)) return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || RefusedCharacters.find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::string WithoutClimbing(const std::string& directory) {
  std::size_t start = directory.size() > 1 && directory[1] == ':' ? 2 : 0;
  std::string result;
  while (start < directory.size()) {
    std::size_t end = directory.find('\\', start);
    if (end == std::string::npos) end = directory.size();
    const std::string_view part = std::string_view(directory).substr(start, end - start);
    if (!OnlyDotsAndSpaces(part)) {
      result += part;
      result += '\\';
    }
    start = end + 1;
  }
  return result;
}

std::size_t RootLength(const std::string& storedDirectory, const std::string& rootDir) {
  if (rootDir.empty() || storedDirectory.size() < rootDir.size()) return 0;
  return platform::CompareTextLocale(std::string_view(storedDirectory).substr(0, rootDir.size()), rootDir) == 0
             ? rootDir.size()
             : 0;
}

std::size_t LeadingComponentsLength(const std::string& directory, std::size_t count) {
  std::size_t length = 0;
  for (; count > 0 && length < directory.size(); --count) {
    const std::size_t separator = directory.find('\\', length);
    length = separator == std::string::npos ? directory.size() : separator + 1;
  }
  return length;
}

std::optional<std::string> EntryFolder(const std::string& destination, const std::string& storedDirectory,
                                       std::size_t rootLength, bool recreateDirs) {
  // Without a destination, names are relative to the current directory rather than to the
  // root of its drive.
  if (!recreateDirs || storedDirectory.empty()) return WithSeparator(destination);
  std::string d = WithoutClimbing(storedDirectory.substr(std::min(rootLength, storedDirectory.size())));
  for (std::size_t start = 0; start < d.size();) {
    const std::size_t end = d.find('\\', start);
    if (!IsAcceptableName(d.substr(start, end - start))) return std::nullopt;
    start = end + 1;
  }
  return WithSeparator(destination) + d;
}

bool LinkTargetStaysInside(const std::string& linkFolder, const std::string& target) {
  if (target.empty() || target.find('\0') != std::string::npos) return false;
  if (target[0] == '/' || target[0] == '\\' || (target.size() >= 2 && target[1] == ':')) return false;
  const auto depth = static_cast<std::size_t>(std::count(linkFolder.begin(), linkFolder.end(), '\\'));
  std::size_t climbs = 0;
  bool named = false;
  for (std::size_t start = 0; start <= target.size();) {
    std::size_t end = target.find_first_of("/\\", start);
    if (end == std::string::npos) end = target.size();
    const std::string component = target.substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == ".") continue;
    if (component != "..") {
      named = true;
    } else if (named || ++climbs > depth) {
      return false;
    }
  }
  return true;
}

}  // namespace qel::archive
