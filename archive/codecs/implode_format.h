// The constants of the implode format (method 6), from section 5.3 "Imploding" of PKWARE's
// APPNOTE.TXT (version 6.3), the description of the ZIP format. The variant is chosen by the
// entry's flag bits 1 and 2 (zip_format.h).
#pragma once

#include <cstdint>

namespace qel::codecs::implode {

// The three Shannon-Fano trees: 256 literals (only with flag bit 2), 64 length codes and 64
// distance codes. Each tree is sent as a count of description bytes less one, then bytes of
// a bit length less one (low four bits) and a repeat count less one (high four bits).
inline constexpr unsigned LiteralCodes = 256;
inline constexpr unsigned LengthCodes = 64;
inline constexpr unsigned DistanceCodes = 64;
inline constexpr unsigned TreeLengthMask = 0x0F;
inline constexpr unsigned TreeRepeatShift = 4;

// A literal sent plain (two trees) is 8 bits; each item is preceded by one flag bit, 1 for a
// literal and 0 for a match.
inline constexpr unsigned PlainLiteralBits = 8;

// The length code 63 is followed by eight more bits added to it.
inline constexpr unsigned LongLengthCode = LengthCodes - 1;
inline constexpr unsigned ExtraLengthBits = 8;
// The shortest match: 3 with the literal tree, 2 without.
inline constexpr unsigned MinMatchThreeTrees = 3;
inline constexpr unsigned MinMatchTwoTrees = 2;

// A distance is its tree code for the high part after this many plain low bits: 7 for the
// 8 KiB dictionary (flag bit 1), 6 for the 4 KiB one.
inline constexpr unsigned LargeDictionaryLowBits = 7;
inline constexpr unsigned SmallDictionaryLowBits = 6;

}  // namespace qel::codecs::implode
