// The parts of the ZIP container format that the decoders themselves read: the method numbers
// and the general-purpose flag bits of an entry. Sections are those of PKWARE's APPNOTE.TXT
// (version 6.3), the description of the ZIP format.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::codecs {

// 4.4.5 compression method: the numbers an entry's header may hold that a decoder of this
// folder reads. Number 7 (tokenized) and the others without a value here are valid in
// archives but have no decoder; they stay plain numbers and are reported as unsupported.
enum class TMethod : std::uint16_t {
  Stored = 0,
  Shrunk = 1,
  Reduced1 = 2,  // reduced with compression factor 1
  Reduced2 = 3,
  Reduced3 = 4,
  Reduced4 = 5,  // reduced with compression factor 4
  Imploded = 6,
  Deflated = 8,
  Deflated64 = 9,  // Deflate64 ("enhanced deflating")
  BZip2 = 12,
  Lzma = 14,
};

// 4.4.4 general purpose bit flag.
inline constexpr std::uint16_t FlagEncrypted = 0x0001;        // bit 0
// Bits 1 and 2 of an imploded entry (method 6).
inline constexpr std::uint16_t FlagImplodeLargeDictionary = 0x0002;  // 8 KiB instead of 4 KiB
inline constexpr std::uint16_t FlagImplodeLiteralTree = 0x0004;      // three trees instead of two
// Bit 1 of an LZMA entry (method 14): its stream ends with an end marker, not at its size.
inline constexpr std::uint16_t FlagLzmaEndMarker = 0x0002;
inline constexpr std::uint16_t FlagDataDescriptor = 0x0008;  // bit 3: sizes and CRC follow the data
inline constexpr std::uint16_t FlagUtf8Name = 0x0800;        // bit 11: the name (and comment) are UTF-8

// 6.1 Traditional PKWARE Encryption: the keys' starting values, the multiplier of key1's
// linear congruential step, and the encryption header of 12 bytes in front of each encrypted
// entry's data.
inline constexpr std::uint32_t InitialKey0 = 0x12345678u;
inline constexpr std::uint32_t InitialKey1 = 0x23456789u;
inline constexpr std::uint32_t InitialKey2 = 0x34567890u;
inline constexpr std::uint32_t Key1Multiplier = 134775813u;
inline constexpr std::size_t EncryptionHeaderSize = 12;

}  // namespace qel::codecs
