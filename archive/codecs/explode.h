// Explode: decodes an imploded entry (method 6): a 4 KiB or 8 KiB sliding dictionary with two
// or three prefix-code trees sent at the start of the entry.
#pragma once

#include <cstdint>

#include "archive/codecs/codec_status.h"
#include "archive/codecs/unzip_frame.h"
#include "archive/codecs/zip_format.h"

namespace qel::codecs {

// Reads one tree description straight from the compressed bytes into lengths[0 ..
// expectedCount): Ok, or InvalidCodes when it describes more or fewer lengths.
TCodecStatus ReadTreeLengths(TUnzipFrame& frame, std::uint8_t* lengths, unsigned expectedCount);

// Decodes the entry the frame was begun for; flags are the entry's general-purpose flags
// (FlagImplodeLargeDictionary and FlagImplodeLiteralTree select the variant).
// InvalidCodes: a tree description of the wrong length, or a tree that is over-subscribed or
// incomplete; nothing is written. OutOfMemory: a tree table could not be allocated (the notice
// has been shown); nothing is written. DamagedData: an invalid code, or the compressed bytes
// used up long before the uncompressed size; the bytes decoded since the window was last
// passed on are dropped, the output block is written.
TCodecStatus Explode(TUnzipFrame& frame, std::uint16_t flags);

}  // namespace qel::codecs
