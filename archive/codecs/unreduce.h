// Unreduce: decodes a reduced entry (methods 2 to 5, compression factors 1 to 4): follower
// sets that shorten the codes of likely next bytes, then a run-length and copy expansion.
#pragma once

#include <cstdint>

#include "archive/codecs/codec_status.h"
#include "archive/codecs/zip_format.h"
#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// Decodes the entry the frame was begun for; method is the entry's method number, 2 to 5.
// Ok once the uncompressed size is reached; DamagedData when the compressed bytes were used up
// before it, with what was decoded until then written.
TCodecStatus Unreduce(TUnzipFrame& frame, std::uint16_t method);

}  // namespace qel::codecs
