// Unshrink: decodes a shrunk entry (method 1): dynamic Lempel-Ziv-Welch with codes of 9 to
// 13 bits and partial clearing of the string table.
#pragma once

#include "archive/codecs/codec_status.h"
#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// Decodes until the compressed bytes are used up; the driver's CRC comparison judges the
// result. DamagedData: a damaged chain of codes would have spelt a string longer than the
// expansion stack; the entry stops there, with what was written before that string.
TCodecStatus Unshrink(TUnzipFrame& frame);

}  // namespace qel::codecs
