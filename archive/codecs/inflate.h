// Inflate: decodes a deflated entry (method 8) through the frame into its sliding window.
#pragma once

#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// How Inflate ended. On anything but InflateOk it stops at once: bytes decoded since the window
// was last passed on, and the bytes in the output block, are not written.
inline constexpr int InflateOk = 0;
// A stored block whose length check fails, an invalid code, a code-length repeat past the end,
// too many codes, an incomplete code, or compressed input used up before the final block.
inline constexpr int InflateBadData = 1;
// Block type 3, or over-subscribed code lengths.
inline constexpr int InflateBadCode = 2;
// A decoding table could not be allocated; the host has shown the notice.
inline constexpr int InflateOutOfMemory = 3;

// Decodes the entry the frame was begun for. The driver needs only the frame's CRC and byte
// count afterwards; the status is for callers that want to know why an entry stopped.
int Inflate(TUnzipFrame& frame);

}  // namespace qel::codecs
