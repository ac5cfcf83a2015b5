// Bunzip2: decodes a bzip2 entry (method 12), one or more bzip2 streams one after another, each
// of blocks of up to 900 000 bytes that are decoded whole: Huffman codes, move-to-front and the
// runs of its front byte, the inverse Burrows-Wheeler transform, and the final run-length step.
//
// Reading map: bzip2_format.h (the format's constants and their sources), then bunzip2.cpp in
// the order of the stream: header, block header, the used-byte map, tables and selectors, the
// symbols, the inverse transform with the final runs, the end-of-stream marker.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/codecs/bzip2_format.h"
#include "archive/codecs/codec_status.h"
#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// The working memory an entry of the given level ('1'..'9' as the stream header has it, 1..9
// here) takes from the frame's decoder buffer: four bytes per byte of the largest block for the
// transform's vector, and the block's tables. Level 9: about 3.6 MB. The buffer stays with the
// frame for the rest of the run.
std::size_t Bunzip2Memory(unsigned level) noexcept;

// The bzip2 CRC over a buffer: register started at Bzip2CrcInitial, finished with NOT by the
// caller. Not the ZIP CRC: the polynomial is taken most significant bit first.
inline constexpr std::uint32_t Bzip2CrcInitial = bzip2::CrcInitial;
std::uint32_t UpdateBzip2Crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) noexcept;

// Decodes the entry the frame was begun for. Ok: every stream ended with its end-of-stream
// marker and every CRC matched; bytes behind the last stream that do not begin another one are
// left unread (the entry's own CRC judges the output). DamagedData: a bad signature or level, a
// bad block or end magic, a randomised block (an obsolete form no encoder of this century
// writes, refused), an empty used-byte map, a table count outside 2..6, no selectors or a
// selector past the tables, a code length outside 1..20, over-subscribed code lengths, an
// invalid code, a run or block longer than the level allows, too few selectors for the block,
// origPtr outside the block, a block or stream CRC that does not match, or the compressed bytes
// used up before the end-of-stream marker; blocks passed on before the fault stay written.
// OutOfMemory: the working memory could not be had (the notice has been shown).
TCodecStatus Bunzip2(TUnzipFrame& frame);

}  // namespace qel::codecs
