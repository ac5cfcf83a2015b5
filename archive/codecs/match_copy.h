// inflate's match copy into a linear buffer that has room behind the match: it copies whole
// words and may write up to MatchOverrun bytes past the match's end, bytes that a later
// literal or match overwrites before anything reads them.
// (The reading map of inflate's files is in inflate.h.)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qel::codecs {

inline constexpr std::size_t MatchWord = 8;
// Matches from at least this far back go in pieces of two words, which the 64-bit builds copy
// with one vector load and store each.
inline constexpr std::size_t MatchPiece = 2 * MatchWord;
// The first two pieces (or three words) go unconditionally: most matches are that short.
inline constexpr std::size_t MatchFirstBytes = 2 * MatchPiece;
inline constexpr std::size_t MatchMinimum = 3;
inline constexpr std::size_t MatchOverrun = MatchFirstBytes - MatchMinimum;

namespace detail {

inline void CopyWord(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, MatchWord); }
inline void CopyPiece(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, MatchPiece); }

// For a period below a word, the smallest multiple of it that spans a word.
constexpr std::array<std::uint8_t, MatchWord> WidenedPeriod = {0, 8, 8, 9, 8, 10, 12, 14};

}  // namespace detail

// Copies length bytes (3 to 258, in Deflate64 up to 65538) to 'to' from distance bytes before it (1 or more), with the
// result of a byte-by-byte copy from low to high addresses: where the source overlaps the
// destination, the last distance bytes repeat. Writes at most MatchOverrun bytes past
// to + length.
inline void CopyMatch(std::uint8_t* to, unsigned distance, unsigned length) {
  const std::uint8_t* from = to - distance;
  std::uint8_t* const end = to + length;
  // A piece or word read from at least its own size behind holds only bytes already final.
  if (distance >= MatchPiece) {
    detail::CopyPiece(to, from);
    detail::CopyPiece(to + MatchPiece, from + MatchPiece);
    for (to += MatchFirstBytes, from += MatchFirstBytes; to < end; to += MatchPiece, from += MatchPiece) {
      detail::CopyPiece(to, from);
    }
    return;
  }
  if (distance >= MatchWord) {
    detail::CopyWord(to, from);
    detail::CopyWord(to + MatchWord, from + MatchWord);
    detail::CopyWord(to + 2 * MatchWord, from + 2 * MatchWord);
    for (to += 3 * MatchWord, from += 3 * MatchWord; to < end; to += MatchWord, from += MatchWord) {
      detail::CopyWord(to, from);
    }
    return;
  }
  if (distance == 1) {
    std::uint64_t pattern = 0x0101010101010101u * *from;
    for (;;) {
      std::memcpy(to, &pattern, MatchWord);
      to += MatchWord;
      if (to >= end) {
        return;
      }
    }
  }
  // A shorter period: one word byte by byte lays the pattern down; from then on the source
  // can stay a whole number of periods behind, at least a word back. The bytes behind the
  // match repeat with the same period, so the widened source may start among them.
  for (unsigned i = 0; i < MatchWord; ++i) {
    to[i] = from[i];
  }
  const unsigned widened = detail::WidenedPeriod[distance];
  for (to += MatchWord; to < end; to += MatchWord) {
    detail::CopyWord(to, to - widened);
  }
}

}  // namespace qel::codecs
