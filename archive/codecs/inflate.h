// Inflate: decodes a deflated entry (method 8) through the frame into its sliding window.
#pragma once

#include "archive/codecs/codec_status.h"
#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// Decodes the entry the frame was begun for. On anything but Ok it stops at once: the bytes
// decoded since the window was last passed on, and the bytes in the output block, are not
// written. DamagedData: a stored block whose length check fails, an invalid code, an incomplete
// code, a code-length repeat past the end, too many codes, a match reaching before the entry's
// first byte, or compressed input used up before the final block. InvalidCodes: block type 3
// or over-subscribed code lengths. OutOfMemory: a table could not be allocated.
TCodecStatus Inflate(TUnzipFrame& frame);

}  // namespace qel::codecs
