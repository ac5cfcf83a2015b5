#include "platform/unicode_text.h"

#include <cstdint>

namespace qel::platform {

namespace {

constexpr char32_t NoCharacter = 0xFFFFFFFF;

// Lower-case ranges whose capitals sit a fixed distance below.
struct TShiftedRange {
  char32_t First, Last, Distance;
};
constexpr TShiftedRange ShiftedRanges[] = {
    {0x0061, 0x007A, 0x20},  {0x00E0, 0x00F6, 0x20},  {0x00F8, 0x00FE, 0x20},  {0x03B1, 0x03C1, 0x20},
    {0x03C3, 0x03CB, 0x20},  {0x03AD, 0x03AF, 0x25},  {0x03CD, 0x03CE, 0x3F},  {0x0430, 0x044F, 0x20},
    {0x0450, 0x045F, 0x50},  {0x0561, 0x0586, 0x30},  {0xFF41, 0xFF5A, 0x20},  {0x24D0, 0x24E9, 0x1A},
    {0x2170, 0x217F, 0x10},
};

// Ranges where capital and small letter alternate, the capital first (even or odd start).
struct TPairedRange {
  char32_t First, Last;
};
constexpr TPairedRange PairedRanges[] = {
    {0x0100, 0x012F}, {0x0132, 0x0137}, {0x0139, 0x0148}, {0x014A, 0x0177}, {0x0179, 0x017E},
    {0x0182, 0x0185}, {0x01A0, 0x01A5}, {0x01CD, 0x01DC}, {0x01DE, 0x01EF}, {0x01F8, 0x021F},
    {0x0222, 0x0233}, {0x03D8, 0x03EF}, {0x0460, 0x0481}, {0x048A, 0x04BF}, {0x04C1, 0x04CE},
    {0x04D0, 0x052F}, {0x1E00, 0x1E95}, {0x1EA0, 0x1EFF},
};

struct TSinglePair {
  char32_t Small, Capital;
};
constexpr TSinglePair SinglePairs[] = {
    {0x00FF, 0x0178}, {0x03C2, 0x03A3}, {0x03AC, 0x0386}, {0x03CC, 0x038C}, {0x04CF, 0x04C0},
    {0x0188, 0x0187}, {0x018C, 0x018B}, {0x0192, 0x0191}, {0x0199, 0x0198}, {0x01A8, 0x01A7},
    {0x01AD, 0x01AC}, {0x01B0, 0x01AF}, {0x01B4, 0x01B3}, {0x01B6, 0x01B5}, {0x01B9, 0x01B8},
    {0x01BD, 0x01BC}, {0x01C6, 0x01C4}, {0x01C9, 0x01C7}, {0x01CC, 0x01CA}, {0x01F3, 0x01F1},
    {0x01F5, 0x01F4},
};

}  // namespace

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

bool DecodeUtf8(std::string_view text, std::size_t& at, char32_t& character) {
  const std::size_t length = Utf8SequenceLength(text, at);
  if (length == 0) {
    character = static_cast<std::uint8_t>(text[at++]);
    return false;
  }
  const auto lead = static_cast<std::uint8_t>(text[at]);
  char32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (static_cast<std::uint8_t>(text[at + i]) & 0x3Fu);
  at += length;
  character = code;
  return true;
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

bool IsValidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

char32_t UpperCaseLetter(char32_t c) {
  if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 0x20 : c;
  for (const TShiftedRange& range : ShiftedRanges) {
    if (c >= range.First && c <= range.Last) return c - range.Distance;
  }
  for (const TPairedRange& range : PairedRanges) {
    if (c >= range.First && c <= range.Last) return (c - range.First) % 2 == 1 ? c - 1 : c;
  }
  for (const TSinglePair& pair : SinglePairs) {
    if (c == pair.Small) return pair.Capital;
  }
  return c;
}

std::string UpperCaseText(std::string_view text) {
  std::string upper;
  upper.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t start = at;
    char32_t c = NoCharacter;
    if (DecodeUtf8(text, at, c)) {
      AppendUtf8(upper, UpperCaseLetter(c));
    } else {
      upper.append(text.substr(start, at - start));
    }
  }
  return upper;
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = NoCharacter, y = NoCharacter;
    // A byte that is no UTF-8 compares by its value, above every character.
    if (!DecodeUtf8(a, i, x)) x += 0x110000;
    if (!DecodeUtf8(b, j, y)) y += 0x110000;
    x = UpperCaseLetter(x);
    y = UpperCaseLetter(y);
    if (x != y) return x < y ? -1 : 1;
  }
  if (i == a.size() && j == b.size()) return 0;
  return i == a.size() ? -1 : 1;
}

}  // namespace qel::platform
