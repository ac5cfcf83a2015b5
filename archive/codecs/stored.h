// Stored: an entry kept as it is (method 0), copied block by block through the frame.
#pragma once

#include "archive/codecs/codec_status.h"
#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// Reads the entry's bytes in blocks of up to IoBlockSize straight into the output block (no
// intermediate copy) and writes each block with its CRC and progress. An entry of size 0
// writes nothing and fires no progress. Always Ok: an archive cut short raises in the frame.
TCodecStatus CopyStored(TUnzipFrame& frame);

}  // namespace qel::codecs
