// inflate's fast loop: literals and matches decoded with the compact entries of fast_codes.h,
// the bit buffer refilled a word at a time straight from the input chunk, and matches copied
// by CopyMatch, while the chunk and the linear window leave room for a whole step. Near their
// ends the inflater goes on with its exact path.
// (The reading map of inflate's files is in inflate.h.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "archive/codecs/codec_status.h"
#include "archive/codecs/decode_table.h"
#include "archive/codecs/fast_codes.h"

namespace qel::codecs {

// The codes of one block: the compact tables, and the decoding tables they came from, which
// decode the codes the compact ones leave Slow.
struct TFastCodes {
  const TFastEntry* Literals;  // FastLiteralSize entries
  const TFastEntry* Distances;  // FastDistanceSize entries
  const TDecodeEntry* LiteralTable;
  const TDecodeEntry* DistanceTable;  // nullptr for a block without distance codes
  unsigned LiteralLookup;
  unsigned DistanceLookup;
};

// Input bytes that must remain in the chunk behind the input position for a step to start:
// no step then reads past the chunk (see inflate_fast.cpp).
inline constexpr std::size_t FastInputMargin = 32;

struct TFastState {
  std::size_t Bits;  // the bit buffer, as the bit reader holds it
  unsigned Count;
  const std::uint8_t* In;
  const std::uint8_t* InLimit;  // a step starts only at or below it: the chunk's end - FastInputMargin
  std::uint8_t* Out;
  const std::uint8_t* OutLimit;  // a step starts only below it; the buffer has room for one behind it
  const std::uint8_t* EntryStart;  // the earliest byte a match may reach
};

// Decodes steps while both limits allow. Returns nothing when a limit stopped it (the exact
// path goes on from there), else the status of the block: Ok at its end, DamagedData for an
// invalid code or a match reaching before the entry's start. The state is left at the point
// decoding stopped; the bits above the count may be set.
std::optional<TCodecStatus> DecodeFast(TFastState& state, const TFastCodes& codes);

// Where the processor has BMI2 the loop runs in a build that uses it; a test sets this to run
// the loop every processor runs instead.
void UsePortableFastLoop(bool portable) noexcept;

}  // namespace qel::codecs
