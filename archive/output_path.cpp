#include "archive/output_path.h"

#include <string_view>

#include "platform/code_pages.h"

namespace qel::archive {
namespace {

bool IsAbsoluteDirectory(const std::string& d) { return (!d.empty() && d[0] == '\\') || (d.size() > 1 && d[1] == ':'); }

std::string WithSeparator(const std::string& destination) {
  return destination.empty() ? std::string() : destination + "\\";
}

}  // namespace

std::string WithoutClimbing(const std::string& directory) {
  std::string result;
  std::size_t start = 0;
  if (directory.size() > 1 && directory[1] == ':') {
    result = directory.substr(0, 2);
    start = 2;
  }
  if (start < directory.size() && directory[start] == '\\') {
    result += '\\';
    ++start;
  }
  while (start < directory.size()) {
    std::size_t end = directory.find('\\', start);
    if (end == std::string::npos) end = directory.size();
    const std::string part = directory.substr(start, end - start);
    if (!part.empty() && part != "." && part != "..") result += part + "\\";
    start = end + 1;
  }
  return result;
}

std::string EntryFolder(const std::string& destination, const std::string& storedDirectory,
                        const std::string& rootDir, bool recreateDirs) {
  // Without a destination, names are relative to the current directory rather than to the
  // root of its drive.
  if (!recreateDirs || storedDirectory.empty()) return WithSeparator(destination);
  std::string d = storedDirectory;
  if (!rootDir.empty() && d.size() >= rootDir.size() &&
      platform::CompareTextLocale(std::string_view(d).substr(0, rootDir.size()), rootDir) == 0) {
    d.erase(0, rootDir.size());
  }
  d = WithoutClimbing(d);
  if (!IsAbsoluteDirectory(d)) return WithSeparator(destination) + d;
  if (destination.empty()) return d;
  if (d[0] == '\\') return destination + d;
  return destination + d.substr(2);
}

}  // namespace qel::archive
