// The constants of the reduce format (methods 2 to 5, compression factors 1 to 4), from
// section 5.2 "Reducing" of PKWARE's APPNOTE.TXT (version 6.3), the description of the ZIP format.
#pragma once

#include <array>
#include <cstdint>

namespace qel::codecs::reduce {

// The follower sets come first, for the bytes 255 down to 0: a 6-bit length (at most 32 in
// practice, 63 by the field) followed by that many 8-bit followers.
inline constexpr unsigned FollowerRows = 256;
inline constexpr unsigned SetLengthBits = 6;
inline constexpr unsigned FollowerBits = 8;
// Then each byte: with an empty follower set 8 plain bits; otherwise one bit, 1 for 8 plain
// bits, 0 for an index into the set of as many bits as the set's length needs.
inline constexpr unsigned PlainByteBits = 8;

// The run-length stage: the byte 144 (DLE) starts a copy, DLE followed by 0 stands for
// itself; the next byte splits into the length (low bits) and the high part of the distance,
// a length of all ones takes one more byte, and the match is 3 bytes longer than its field.
inline constexpr std::uint8_t Marker = 0x90;
inline constexpr unsigned MinCopyLength = 3;
// Indexed by the compression factor 1 to 4.
inline constexpr std::array<unsigned, 5> LengthMask = {0, 0x7F, 0x3F, 0x1F, 0x0F};
inline constexpr std::array<unsigned, 5> DistanceShift = {0, 7, 6, 5, 4};
inline constexpr std::array<unsigned, 5> DistanceMask = {0, 0x01, 0x03, 0x07, 0x0F};
// A distance reaches back at most (DistanceMask + 1) * 256 bytes: 4 KiB at factor 4.
inline constexpr unsigned DistanceLowBits = 8;

}  // namespace qel::codecs::reduce
