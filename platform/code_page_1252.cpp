// Windows-1252 against Unicode.
#include "platform/code_page_1252.h"

#include <array>

namespace qel::platform {

namespace {

constexpr std::uint8_t FirstDifferent = 0x80;  // below: ASCII; from 0xA0 on: Latin-1
constexpr std::uint8_t FirstLatin1 = 0xA0;

// Indexed by the byte minus 0x80: the code points of the block where Windows-1252
// differs from Latin-1.
constexpr std::array<char32_t, FirstLatin1 - FirstDifferent> HighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t AnsiToCodePoint(std::uint8_t c) {
  if (c >= FirstDifferent && c < FirstLatin1) return HighBlock[c - FirstDifferent];
  return c;
}

}  // namespace qel::platform
