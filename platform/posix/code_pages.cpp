// Code pages of the stand-in: OEM is code page 437, ANSI is Windows-1252.
#include "platform/code_pages.h"

#include <cstdint>

#include "platform/code_page_1252.h"
#include "platform/code_page_437.h"

namespace qel::platform {

namespace {

constexpr unsigned AnsiPage = 1252;
constexpr unsigned OemPage = 437;

void MapBytes(std::string& text, const std::array<std::uint8_t, 256>& table) {
  for (char& c : text) c = static_cast<char>(table[static_cast<std::uint8_t>(c)]);
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the UTF-8 sequence at text[i]; false for a malformed one (bad lead or
// continuation byte, overlong form, surrogate, beyond U+10FFFF), of which only the
// first byte is then consumed.
bool DecodeUtf8(std::string_view text, std::size_t& i, char32_t& c) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byte(i);
  int length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    c = lead;
    ++i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, c = lead & 0x07;
  } else {
    ++i;
    return false;
  }
  if (i + length > text.size()) {
    ++i;
    return false;
  }
  for (int k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += length;
  return true;
}

}  // namespace

void OemToAnsi(std::string& text) { MapBytes(text, OemToAnsiTable); }

void AnsiToOem(std::string& text) { MapBytes(text, AnsiToOemTable); }

int CompareTextLocale(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const int x = AnsiUpperCase(static_cast<std::uint8_t>(a[i]));
    const int y = AnsiUpperCase(static_cast<std::uint8_t>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameTextLocale(std::string_view a, std::string_view b) { return CompareTextLocale(a, b) == 0; }

unsigned AnsiCodePage() { return AnsiPage; }

unsigned OemCodePage() { return OemPage; }

std::string AnsiToUtf8(std::string_view ansi) {
  std::string utf8;
  utf8.reserve(ansi.size());
  for (char c : ansi) AppendUtf8(utf8, AnsiToCodePoint(static_cast<std::uint8_t>(c)));
  return utf8;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  bool lossy = false;
  return Utf8ToAnsi(utf8, '?', lossy);
}

std::string Utf8ToAnsi(std::string_view utf8, char replacement, bool& lossy) {
  lossy = false;
  std::string ansi;
  ansi.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = 0;
    const int mapped = DecodeUtf8(utf8, i, c) ? CodePointToAnsi(c) : -1;
    if (mapped < 0) lossy = true;
    ansi += mapped < 0 ? replacement : static_cast<char>(mapped);
  }
  return ansi;
}

}  // namespace qel::platform
