#include "archive/stored_name.h"

#include <algorithm>

#include "platform/code_pages.h"
#include "platform/unicode_text.h"

namespace qel::archive {

std::string ConvertStoredName(std::string_view storedName) {
  std::string name = platform::OemToUtf8(storedName);
  // "/" is the same byte in every OEM code page and in UTF-8.
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

std::string ConvertUtf8StoredName(std::string_view storedName) {
  if (!platform::IsValidUtf8(storedName)) return ConvertStoredName(storedName);
  std::string name(storedName);
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

bool IsUnflaggedUtf8Name(std::string_view storedName) {
  bool beyondAscii = false;
  for (std::size_t at = 0; at < storedName.size();) {
    const std::size_t length = platform::Utf8SequenceLength(storedName, at);
    if (length == 0) return false;
    beyondAscii = beyondAscii || length > 1;
    at += length;
  }
  return beyondAscii;
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
