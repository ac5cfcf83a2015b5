// Unreduce: decodes a reduced entry (methods 2 to 5, compression factors 1 to 4): follower
// sets that shorten the codes of likely next bytes, then a run-length and copy expansion.
#pragma once

#include <cstdint>

#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

inline constexpr std::uint16_t FirstReduceMethod = 2;  // factor 1
inline constexpr std::uint16_t LastReduceMethod = 5;   // factor 4

// How Unreduce ended.
inline constexpr int UnreduceOk = 0;  // the uncompressed size was reached
// The compressed bytes were used up before the uncompressed size was reached; what was
// decoded until then is written.
inline constexpr int UnreduceBadData = 1;

// Decodes the entry the frame was begun for; method is the entry's method number, 2 to 5.
int Unreduce(TUnzipFrame& frame, std::uint16_t method);

}  // namespace qel::codecs
