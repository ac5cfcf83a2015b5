// Compact entries for inflate's fast loop, derived from the decoding tables of a code.
//
// The multi-level tables of decode_table.h are what decoding is defined by; a walk through
// them takes a load, a compare and a branch per level and per field. The fast loop looks a
// code up instead in one table of 2^FastBits 32-bit entries indexed by the next FastBits
// stream bits, where one entry says everything about a code that short: what it is, how many
// bits it takes together with its extra bits, and its value. A code longer than FastBits, or
// an invalid one, has a Slow entry: the fast loop then walks the decoding tables themselves,
// so every code decodes exactly as the tables say.
// (The reading map of inflate's files is in inflate.h.)
#pragma once

#include <cstdint>

#include "archive/codecs/decode_table.h"
#include "archive/codecs/deflate_format.h"

namespace qel::codecs {

// One entry, laid out so the common cases take one test each:
//   bit 31       a literal (the sign bit): bits 16..23 hold the byte
//   bits 16..31  otherwise the base length (below 2^15, so bit 31 is clear) or base distance
//                (all 16 bits for Deflate64's far codes: a distance table has no literals)
//   bits 8..12   the bits of the code itself
//   bit 7        Slow: decode this code through the decoding tables
//   bit 6        end of block
//   bits 0..5    the bits the entry takes: its code and extra bits together (at most 31)
// Every field above the low six bits is a multiple of 64, so an entry subtracted from a bit
// count changes the count's low six bits (and its low five) by exactly the bits it takes.
using TFastEntry = std::uint32_t;

inline constexpr TFastEntry FastLiteralFlag = 0x80000000u;
inline constexpr TFastEntry FastSlowFlag = 0x80u;
inline constexpr TFastEntry FastEndOfBlockFlag = 0x40u;
inline constexpr TFastEntry FastSlow = FastSlowFlag;
inline constexpr TFastEntry FastTakenMask = 0x3Fu;

// Widths of the fast tables: most literal/length codes of real data are 11 bits or shorter,
// most distance codes 8 bits or shorter. They are at least the first-level widths of the
// decoding tables, so a first-level slot stands for whole fast entries.
inline constexpr unsigned FastLiteralBits = 11;
inline constexpr unsigned FastDistanceBits = 8;
inline constexpr unsigned FastLiteralSize = 1u << FastLiteralBits;
inline constexpr unsigned FastDistanceSize = 1u << FastDistanceBits;
// The most bits a fast entry of each table takes, its code and extra bits together: those of
// deflate's longest fast codes. The fast loop's budgets are sized for them; a code that takes
// more (Deflate64's length code 285 with its 16 extra bits, a far distance code longer than
// seven bits) has a Slow entry and is walked, which makes the bits it needs available.
inline constexpr unsigned FastLengthTakenBits = FastLiteralBits + deflate::MaxLengthExtraBits;       // 16
inline constexpr unsigned FastDistanceTakenBits = FastDistanceBits + deflate::MaxDistanceExtraBits;  // 21
// The most extra bits a walked code carries, in either format.
inline constexpr unsigned MaxExtraBits = deflate64::MaxLengthExtraBits;
// A walked code's entry takes its extra bits alone; the walk makes them available first.
inline constexpr unsigned MaxWalkedTakenBits = MaxExtraBits;

inline constexpr bool IsFastLiteral(TFastEntry e) { return (e & FastLiteralFlag) != 0; }
inline constexpr bool IsFastExceptional(TFastEntry e) { return (e & (FastEndOfBlockFlag | FastSlowFlag)) != 0; }
inline constexpr unsigned FastTakenBits(TFastEntry e) { return e & FastTakenMask; }
inline constexpr unsigned FastCodeBits(TFastEntry e) { return (e >> 8) & 0x1Fu; }
// The base of a length or distance entry.
inline constexpr unsigned FastValue(TFastEntry e) { return e >> 16; }
inline constexpr std::uint8_t FastLiteral(TFastEntry e) { return static_cast<std::uint8_t>(e >> 16); }

// The entry of a final slot (not a link, not invalid) whose code takes codeBits bits; a
// distance table's slots have no literals or end of block. codeBits 0 describes a slot whose
// code has already been consumed, leaving only the extra bits to take. An entry taking more
// than maxTaken bits is Slow.
inline TFastEntry FastEntryOf(const TDecodeEntry& slot, unsigned codeBits, unsigned maxTaken = MaxWalkedTakenBits) {
  const TFastEntry code = static_cast<TFastEntry>(codeBits) << 8;
  if (slot.Operation == OpLiteral) {
    return FastLiteralFlag | static_cast<TFastEntry>(slot.Value & 0xFFu) << 16 | code | codeBits;
  }
  if (slot.Operation == OpEndOfBlock) {
    return FastEndOfBlockFlag | code | codeBits;
  }
  if (slot.Operation > MaxExtraBits) {
    return FastSlow;  // no slot the builder makes for inflate; the tables judge it
  }
  if (codeBits + slot.Operation > maxTaken) {
    return FastSlow;
  }
  return static_cast<TFastEntry>(slot.Value) << 16 | code | (codeBits + slot.Operation);
}

// Fills fast[0 .. 2^fastBits) for the code whose first-level table is table, lookupBits wide
// (at most fastBits); entries that would take more than maxTaken bits are Slow. A null table
// (a code without lengths) gives Slow entries only.
void BuildFastTable(const TDecodeEntry* table, int lookupBits, unsigned fastBits, unsigned maxTaken,
                    TFastEntry* fast);

}  // namespace qel::codecs
