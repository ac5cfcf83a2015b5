// The constants of the shrink format (method 1), from section 5.1 "Shrinking" of PKWARE's
// APPNOTE.TXT (version 6.3), the description of the ZIP format: dynamic Lempel-Ziv-Welch.
#pragma once

namespace qel::codecs::shrink {

// Codes start 9 bits wide and grow to at most 13; codes 0 to 255 are the bytes themselves.
inline constexpr unsigned InitialCodeSize = 9;
inline constexpr unsigned MaxCodeSize = 13;
// Code 256 is followed by a subcode: 1 widens the codes by one bit, 2 clears the leaves of
// the string table (partial clearing). New strings take the free codes from 257 up.
inline constexpr unsigned ControlCode = 256;
inline constexpr unsigned IncreaseCodeSize = 1;
inline constexpr unsigned PartialClearCode = 2;
inline constexpr unsigned FirstFreeCode = 257;

}  // namespace qel::codecs::shrink
