// Explode: decodes an imploded entry (method 6): a 4 KiB or 8 KiB sliding dictionary with two
// or three prefix-code trees sent at the start of the entry.
#pragma once

#include <cstdint>

#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// The entry flag bits that select the variant.
inline constexpr std::uint16_t ExplodeLargeDictionary = 0x0002;  // 8 KiB instead of 4 KiB
inline constexpr std::uint16_t ExplodeLiteralTree = 0x0004;      // three trees instead of two

// How Explode ended. The driver only needs the frame's CRC and byte count; the status tells
// callers and tests why an entry stopped.
inline constexpr int ExplodeOk = 0;
// An invalid code, or the compressed bytes used up long before the uncompressed size: the
// bytes decoded since the window was last passed on are dropped, the output block is written.
inline constexpr int ExplodeBadData = 1;
// A tree table could not be allocated; the host has shown the notice. Nothing was written.
inline constexpr int ExplodeOutOfMemory = 3;
// A tree description of the wrong length, or a tree that is over-subscribed or incomplete.
// Nothing was written.
inline constexpr int ExplodeBadTree = 4;

// Reads one tree description straight from the compressed bytes into lengths[0 ..
// expectedCount): ExplodeOk, or ExplodeBadTree when it describes more or fewer lengths.
int ReadTreeLengths(TUnzipFrame& frame, std::uint8_t* lengths, unsigned expectedCount);

// Decodes the entry the frame was begun for; flags are the entry's general-purpose flags.
int Explode(TUnzipFrame& frame, std::uint16_t flags);

}  // namespace qel::codecs
