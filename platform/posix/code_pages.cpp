// Code pages of the stand-in: OEM is code page 437, ANSI is Windows-1252.
#include "platform/code_pages.h"

#include <cstdint>

#include "platform/code_page_1252.h"
#include "platform/code_page_437.h"
#include "platform/unicode_text.h"

namespace qel::platform {

namespace {

constexpr unsigned AnsiPage = 1252;
constexpr unsigned OemPage = 437;

// The byte whose character is c under toCodePoint, by search: 256 candidates, and the
// conversion is rare (a password's few letters).
std::string FromUtf8(std::string_view utf8, char32_t (*toCodePoint)(std::uint8_t)) {
  std::string text;
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = 0;
    if (!DecodeUtf8(utf8, at, c)) return {};
    int found = -1;
    for (int byte = 0; byte < 256 && found < 0; ++byte) {
      if (toCodePoint(static_cast<std::uint8_t>(byte)) == c) found = byte;
    }
    if (found < 0) return {};
    text += static_cast<char>(found);
  }
  return text;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) { return FromUtf8(utf8, AnsiToCodePoint); }

std::string Utf8ToOem(std::string_view utf8) { return FromUtf8(utf8, OemToCodePoint); }

std::string OemToUtf8(std::string_view oem) {
  std::string utf8;
  utf8.reserve(oem.size());
  for (char c : oem) AppendUtf8(utf8, OemToCodePoint(static_cast<std::uint8_t>(c)));
  return utf8;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string utf8;
  utf8.reserve(ansi.size());
  for (char c : ansi) AppendUtf8(utf8, AnsiToCodePoint(static_cast<std::uint8_t>(c)));
  return utf8;
}

int CompareTextLocale(std::string_view a, std::string_view b) { return CompareIgnoringCase(a, b); }

bool SameTextLocale(std::string_view a, std::string_view b) { return CompareTextLocale(a, b) == 0; }

unsigned AnsiCodePage() { return AnsiPage; }

unsigned OemCodePage() { return OemPage; }

}  // namespace qel::platform
