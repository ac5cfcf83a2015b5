// Inflate: decodes a deflated entry (method 8), or a Deflate64 one (method 9), through the frame
// into its sliding window.
//
// Reading map, in the order the files are best read:
//   1. deflate_format.h  the format's constants, each with its section of RFC 1951
//   2. bit_reader.h      the bit reader of the exact path (shared with explode)
//   3. decode_table.h    multi-level prefix-code tables: what decoding is defined by (shared
//                        with explode); decode_table.cpp builds them
//   4. inflate.cpp       the exact path: block headers, stored blocks, the fixed and dynamic
//                        codes, one code at a time; it hands the middle of each chunk to
//   5. fast_codes.h      compact one-lookup entries derived from the tables (fast_codes.cpp)
//   6. inflate_fast.h    the fast loop over them, with its budgets (inflate_fast.cpp)
//   7. linear_window.h   the window laid out in a line, passed on to the frame (linear_window.cpp)
//   8. match_copy.h      the word-wise match copy the linear window allows
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

// Decodes a Deflate64 entry (method 9) as Inflate decodes a deflated one, with that format's
// 64 KB window, far distance codes and long matches (deflate_format.h); the frame's window
// grows to 64 KB for it. OutOfMemory also when the larger window cannot be had.
TCodecStatus Inflate64(TUnzipFrame& frame);

}  // namespace qel::codecs
