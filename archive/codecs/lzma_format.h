// The constants of LZMA as ZIP stores it (method 14). The wrapper in front of the stream comes
// from section 5.8 "LZMA - Method 14" of PKWARE's APPNOTE.TXT (version 6.3); the stream itself
// from Igor Pavlov's description of the LZMA format (the text document in DOC/ of the LZMA SDK,
// draft of 2015-06-14), whose parts are named in parentheses: (properties), (range decoder), (bit tree),
// (literals), (lengths), (distances), (main loop).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::codecs::lzma {

// APPNOTE 5.8: the entry's data opens with the version of the LZMA SDK that wrote
// it (major, minor: informational only), the size of the properties that follow as a 16-bit
// little-endian number, and the properties themselves; the raw stream follows at once.
inline constexpr std::size_t VersionBytes = 2;
inline constexpr std::size_t PropertiesSizeBytes = 2;
inline constexpr std::size_t PropertiesBytes = 5;  // the one size LZMA's properties have
inline constexpr std::size_t WrapperBytes = VersionBytes + PropertiesSizeBytes + PropertiesBytes;

// (properties): the first byte is (pb * 5 + lp) * 9 + lc; then the dictionary size as a 32-bit
// little-endian number. A byte of 9 * 5 * 5 or more names no valid triple.
inline constexpr unsigned LcLimit = 9;
inline constexpr unsigned LpLimit = 5;
inline constexpr unsigned PropertiesByteLimit = LcLimit * LpLimit * 5;
// The format allows lc up to 8, but every encoder in use keeps lc + lp within 4 (LZMA2 makes it
// a rule), and that bounds the literal tables to 16 coders; more is refused as damaged.
inline constexpr unsigned MaxLcPlusLp = 4;
inline constexpr unsigned MaxPb = 4;
// (properties): a dictionary below 4 KiB is taken as 4 KiB.
inline constexpr std::uint32_t MinDictionarySize = 1u << 12;

// (range decoder): 11-bit probabilities starting at one half, moved by 1/32 of the distance to
// the bound after each bit; the range is topped up by a byte whenever it falls below 2^24. The
// stream opens with five bytes, the first of them always 0.
inline constexpr unsigned ProbabilityBits = 11;
inline constexpr std::uint16_t ProbabilityTotal = 1u << ProbabilityBits;
inline constexpr std::uint16_t ProbabilityInitial = ProbabilityTotal / 2;
inline constexpr unsigned MoveBits = 5;
inline constexpr std::uint32_t TopValue = 1u << 24;
inline constexpr unsigned InitBytes = 5;

// (main loop): twelve states remember the kinds of the last packets; below LiteralStates the
// last packet was a literal, from there on a match of some kind.
inline constexpr unsigned States = 12;
inline constexpr unsigned LiteralStates = 7;
constexpr unsigned StateAfterLiteral(unsigned state) { return state < 4 ? 0 : state < 10 ? state - 3 : state - 6; }
constexpr unsigned StateAfterMatch(unsigned state) { return state < LiteralStates ? 7 : 10; }
constexpr unsigned StateAfterRep(unsigned state) { return state < LiteralStates ? 8 : 11; }
constexpr unsigned StateAfterShortRep(unsigned state) { return state < LiteralStates ? 9 : 11; }
inline constexpr unsigned MaxPosStates = 1u << MaxPb;

// (literals): each literal coder is a bit tree of 0x300 probabilities: 0x100 for a plain byte
// and twice 0x100 for the bits decoded while they agree with the byte at rep0.
inline constexpr unsigned LiteralCoderSize = 0x300;
inline constexpr unsigned MaxLiteralCoders = 1u << MaxLcPlusLp;

// (lengths): a choice bit, then 3 bits (lengths 2 to 9), or a second choice and 3 bits (10 to
// 17), or 8 bits (18 to 273); per pos state for the first two.
inline constexpr unsigned LowLengthBits = 3;
inline constexpr unsigned MidLengthBits = 3;
inline constexpr unsigned HighLengthBits = 8;
inline constexpr unsigned LowLengths = 1u << LowLengthBits;
inline constexpr unsigned MidLengths = 1u << MidLengthBits;
inline constexpr unsigned HighLengths = 1u << HighLengthBits;
inline constexpr unsigned MinMatchLength = 2;
inline constexpr unsigned MaxMatchLength = MinMatchLength + LowLengths + MidLengths + HighLengths - 1;  // 273

// (distances): a 6-bit slot chosen by the length (2, 3, 4, 5 and more); slots 0 to 3 are the
// distance itself; from slot 4 the slot gives the top two bits and the count of the bits below
// them, which slots below EndPosModelIndex take through reverse bit trees, and the others as
// direct bits with their lowest AlignBits through one more reverse tree.
inline constexpr unsigned LengthToPosStates = 4;
inline constexpr unsigned PosSlotBits = 6;
inline constexpr unsigned StartPosModelIndex = 4;
inline constexpr unsigned EndPosModelIndex = 14;
inline constexpr unsigned FullDistances = 1u << (EndPosModelIndex >> 1);  // 128
inline constexpr unsigned AlignBits = 4;
inline constexpr unsigned AlignSize = 1u << AlignBits;
// (main loop): a match whose distance decodes to all ones marks the end of the stream.
inline constexpr std::uint32_t EndMarkerDistance = 0xFFFFFFFFu;

}  // namespace qel::codecs::lzma
