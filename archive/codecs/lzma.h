// LZMA: decodes an entry of method 14, the LZMA SDK's properties in a small wrapper followed by
// a raw LZMA stream (the constants and their sources are in lzma_format.h).
//
// The dictionary is a ring of min(dictionary size, uncompressed size) bytes with the model's
// probabilities in front of it, both in the frame's decoder buffer, so a run allocates once for
// its largest entry. Output never passes the entry's declared size: the ring holds every byte a
// valid match can reach, and an entry can never expand past what it declares.
#pragma once

#include <cstdint>

#include "archive/codecs/codec_status.h"
#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// The largest dictionary ring an entry may ask for; a larger one is refused as damaged, since
// no 32-bit process could hold it beside the program.
inline constexpr std::uint64_t MaxLzmaDictionary = std::uint64_t{3} << 29;  // 1.5 GiB

// Decodes the entry the frame was begun for; flags are the entry's general-purpose flags, whose
// FlagLzmaEndMarker says the stream ends with an end marker rather than at the entry's
// uncompressed size. Ok only when the stream ends exactly at that size with the range coder
// finished and no compressed byte left over.
// DamagedData: a wrapper whose properties size is not 5, properties out of range (lc + lp > 4,
// pb > 4), a dictionary larger than MaxLzmaDictionary, a stream whose first byte is not 0, a
// distance beyond the bytes written or the dictionary, an end marker where none may be or none
// where one must be, output past the declared size, compressed bytes used up before the end or
// left over after it. The bytes decoded since the ring was last passed on are then dropped.
// OutOfMemory: the ring could not be allocated (the notice has been shown); nothing is written.
TCodecStatus DecodeLzma(TUnzipFrame& frame, std::uint16_t flags);

}  // namespace qel::codecs
