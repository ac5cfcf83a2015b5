// The constants of the deflate format, each with the section of RFC 1951 (DEFLATE, version
// 1.3) that defines it, and the three that Deflate64 changes.
#pragma once

#include <array>
#include <cstdint>

namespace qel::codecs::deflate {

// 3.2.3: block types of the two header bits after BFINAL.
inline constexpr unsigned BlockStored = 0;
inline constexpr unsigned BlockFixed = 1;
inline constexpr unsigned BlockDynamic = 2;  // 3 is reserved: an error

// 3.2.5: the literal/length alphabet. 0..255 literals, 256 end of block, 257..285 lengths.
inline constexpr unsigned EndOfBlock = 256;
inline constexpr unsigned FirstLengthCode = 257;
inline constexpr unsigned LengthCodes = 29;  // 257..285
// Bases and extra bits of the length codes 257..285.
inline constexpr std::array<std::uint16_t, LengthCodes> LengthBases = {
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr std::array<std::uint8_t, LengthCodes> LengthExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// 3.2.5: distance codes 0..29 and their bases and extra bits.
inline constexpr unsigned DistanceCodes = 30;
inline constexpr std::array<std::uint16_t, DistanceCodes> DistanceBases = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr std::array<std::uint8_t, DistanceCodes> DistanceExtraBits = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// 3.2.5 and 2: matches of 3 to 258 bytes reach back at most 32768 bytes.
inline constexpr unsigned MaxMatchLength = 258;
inline constexpr unsigned WindowSize = 32768;

// 3.2.6: the fixed code covers 288 literal/length codes (286 and 287 never occur) and 32
// distance codes of five bits (30 and 31 never occur); its code lengths by literal range.
inline constexpr unsigned FixedLiteralLengthCodes = 288;
inline constexpr unsigned FixedDistanceCodes = 32;
inline constexpr unsigned FixedDistanceLength = 5;
struct TFixedLengthRun {
  unsigned End;  // the run covers the codes below End not covered by the runs before
  std::uint8_t Length;
};
inline constexpr std::array<TFixedLengthRun, 4> FixedLiteralLengthRuns = {{{144, 8}, {256, 9}, {280, 7}, {288, 8}}};

// 3.2.7: a dynamic block's header. HLIT + 257 literal/length codes (at most 286), HDIST + 1
// distance codes (at most 30), HCLEN + 4 code-length codes, sent in CodeLengthOrder with
// three bits each; code-length symbols 16, 17 and 18 repeat.
inline constexpr unsigned MaxLiteralLengthCodes = 286;
inline constexpr unsigned HlitBits = 5;
inline constexpr unsigned HdistBits = 5;
inline constexpr unsigned HclenBits = 4;
inline constexpr unsigned CodeLengthBits = 3;
inline constexpr std::array<std::uint8_t, 19> CodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                11, 4,  12, 3, 13, 2, 14, 1, 15};
inline constexpr unsigned CopyPrevious = 16;  // 3 to 6 copies of the previous length, 2 extra bits
inline constexpr unsigned RepeatZero = 17;    // 3 to 10 zeros, 3 extra bits
inline constexpr unsigned RepeatZeroLong = 18;  // 11 to 138 zeros, 7 extra bits
// 3.2.7 and 3.2.2: a code length is at most 15 bits.
inline constexpr unsigned MaxCodeBits = 15;

// The most extra bits any length or distance carries.
constexpr unsigned MaxOf(const auto& values) {
  unsigned most = 0;
  for (const auto v : values) most = v > most ? v : most;
  return most;
}
inline constexpr unsigned MaxLengthExtraBits = MaxOf(LengthExtraBits);      // 5
inline constexpr unsigned MaxDistanceExtraBits = MaxOf(DistanceExtraBits);  // 13

}  // namespace qel::codecs::deflate

// Deflate64, ZIP method 9 ("Enhanced Deflating using Deflate64(tm)" in 4.4.5 of PKWARE's
// APPNOTE.TXT (version 6.3), the description of the ZIP format, which names it but does not
// describe it; Roger Seeck's note "Deflate64 (Enhanced Deflate)" on binaryessence.com lists
// the changes). Everything else is deflate as above:
//   - the window is 64 KB;
//   - the last length code, 285, is a base of 3 with 16 extra bits: lengths 3 to 65538;
//   - distance codes 30 and 31, unused in deflate, reach 32769 to 65536 with 14 extra bits,
//     so a dynamic block may declare 32 distance codes and the fixed code's 32 are complete.
namespace qel::codecs::deflate64 {
inline constexpr unsigned WindowSize = 65536;
inline constexpr unsigned LastLengthBase = 3;
inline constexpr std::uint8_t LastLengthExtraBits = 16;
inline constexpr unsigned MaxMatchLength = LastLengthBase + (1u << LastLengthExtraBits) - 1;  // 65538
inline constexpr unsigned DistanceCodes = 32;
inline constexpr std::array<std::uint16_t, 2> FarDistanceBases = {32769, 49153};
inline constexpr std::uint8_t FarDistanceExtraBits = 14;
inline constexpr unsigned MaxLengthExtraBits = LastLengthExtraBits;
inline constexpr unsigned MaxDistanceExtraBits = FarDistanceExtraBits;

}  // namespace qel::codecs::deflate64
