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

}  // namespace

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
