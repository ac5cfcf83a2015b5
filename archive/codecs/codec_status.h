// How a decoder ended an entry. One type for every method, from the table builder up to the
// extraction driver, which turns anything but Ok into a skipped entry with its reason.
#pragma once

#include <cstdint>

namespace qel::codecs {

enum class TCodecStatus : std::uint8_t {
  // The stream ended as its method defines it to; the CRC comparison judges the bytes.
  Ok,
  // The bytes break the method's rules while they are decoded: an invalid code, a stored
  // block whose length check fails, a match reaching before the entry's first byte, a chain
  // longer than its stack, or compressed input used up before the stream's end.
  DamagedData,
  // A block type or a prefix-code description that no encoder writes: inflate's block type
  // 3 and over-subscribed code lengths, or an imploded tree of the wrong size or shape.
  InvalidCodes,
  // A decoding table could not be allocated; the notice has been shown.
  OutOfMemory,
};

}  // namespace qel::codecs
