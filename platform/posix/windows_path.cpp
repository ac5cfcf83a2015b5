// Parsing and formatting of Windows path names.
#include "platform/posix/windows_path.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace qel::platform::posix {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(std::string_view name) {
  return name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
}

char UpperDrive(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Windows ignores trailing dots and spaces of a name: "file." and "file " are "file".
std::string TrimComponent(std::string_view component) {
  std::size_t end = component.size();
  while (end > 0 && (component[end - 1] == '.' || component[end - 1] == ' ')) --end;
  return std::string(component.substr(0, end));
}

void AppendComponents(std::string_view text, std::vector<std::string>& components) {
  components.reserve(components.size() + 1 + static_cast<std::size_t>(std::count_if(text.begin(), text.end(), IsSeparator)));
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    std::string_view part = text.substr(start, end - start);
    if (part == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!part.empty() && part != ".") {
      std::string trimmed = TrimComponent(part);
      if (!trimmed.empty()) components.push_back(std::move(trimmed));
    }
    start = end + 1;
  }
}

}  // namespace

TWindowsPath ParseWindowsPath(const std::string& name, const std::string& currentDir) {
  TWindowsPath result;
  if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1])) {
    result.Unc = true;
    result.UncText = name;
    for (char& c : result.UncText) {
      if (c == '/') c = '\\';
    }
    return result;
  }

  std::string_view rest = name;
  bool fromRoot = false;
  char currentDrive = HasDrive(currentDir) ? UpperDrive(currentDir[0]) : 'Z';
  if (HasDrive(rest)) {
    result.Drive = UpperDrive(rest[0]);
    rest.remove_prefix(2);
    // "X:name" is relative to the current directory only when that is on drive X.
    fromRoot = result.Drive != currentDrive;
  } else {
    result.Drive = currentDrive;
  }
  if (!rest.empty() && IsSeparator(rest[0])) fromRoot = true;

  if (!fromRoot && HasDrive(currentDir)) AppendComponents(std::string_view(currentDir).substr(2), result.Components);
  AppendComponents(rest, result.Components);
  result.TrailingSeparator = !result.Components.empty() && !rest.empty() && IsSeparator(rest.back());
  return result;
}

std::string FormatWindowsPath(const TWindowsPath& path) {
  if (path.Unc) return path.UncText;
  std::string text{path.Drive, ':'};
  std::size_t size = 3;
  for (const std::string& component : path.Components) size += component.size() + 1;
  text.reserve(size);
  for (const std::string& component : path.Components) {
    text += '\\';
    text += component;
  }
  if (path.Components.empty() || path.TrailingSeparator) text += '\\';
  return text;
}

bool IsValidComponent(const std::string& component) {
  for (unsigned char c : component) {
    if (c < 0x20) return false;
    switch (c) {
      case '<': case '>': case ':': case '"': case '|': case '?': case '*': return false;
      default: break;
    }
  }
  return true;
}

}  // namespace qel::platform::posix
