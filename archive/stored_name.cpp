#include "archive/stored_name.h"

#include <algorithm>
#include <cstdint>

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

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  if (lead < 0x80) return 1;
  // C0, C1 and F5..FF lead no sequence of a valid character.
  if (lead < 0xC2 || lead > 0xF4) return 0;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (text.size() - at < length) return 0;
  // The least value each length may carry: anything below has a shorter form.
  constexpr std::uint32_t LeastOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
  std::uint32_t code = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < LeastOfLength[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

bool IsUnflaggedUtf8Name(std::string_view storedName) {
  bool beyondAscii = false;
  for (std::size_t at = 0; at < storedName.size();) {
    const std::size_t length = Utf8SequenceLength(storedName, at);
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
