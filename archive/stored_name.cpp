#include "archive/stored_name.h"

#include <algorithm>

#include "platform/code_pages.h"

namespace qel::archive {

std::string ConvertStoredName(std::string_view storedName) {
  std::string name(storedName);
  // The separator goes first: "/" is the same byte in every OEM code page, so the
  // conversion after it cannot turn it into something else.
  std::replace(name.begin(), name.end(), '/', '\\');
  platform::OemToAnsi(name);
  return name;
}

TDecodedName ConvertUtf8StoredName(std::string_view storedName) {
  TDecodedName name;
  name.Utf8 = std::string(storedName);
  std::replace(name.Utf8.begin(), name.Utf8.end(), '/', '\\');
  name.Ansi = platform::Utf8ToAnsi(name.Utf8, ReplacementCharacter, name.Lossy);
  return name;
}

TSplitName SplitStoredName(std::string_view convertedName) {
  const auto separator = convertedName.find_last_of("\\:");
  if (separator == std::string_view::npos) return {std::string(), std::string(convertedName)};
  return {WithClosingBackslash(std::string(convertedName.substr(0, separator + 1))),
          std::string(convertedName.substr(separator + 1))};
}

std::string WithClosingBackslash(std::string directory) {
  if (!directory.empty() && directory.back() != '\\') directory += '\\';
  return directory;
}

}  // namespace qel::archive
