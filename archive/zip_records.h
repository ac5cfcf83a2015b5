// The on-disk records of a ZIP archive as the reader sees them: signatures, the fixed sizes
// of the three headers, the offsets of their fields, and little-endian readers. Sections are
// those of PKWARE's APPNOTE.TXT (version 6.3), the description of the ZIP format; what the
// decoders read of an entry (method numbers, flag bits, the cipher) is in codecs/zip_format.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "archive/codecs/zip_format.h"

namespace qel::archive {

using codecs::FlagDataDescriptor;
using codecs::FlagEncrypted;
using codecs::FlagUtf8Name;

// Sizes and offsets of entries and of the directory: 64 bits wide, as ZIP64 records hold them.
// The classic headers' 32-bit fields are read as unsigned values into this type.
using TZipSize = std::int64_t;

// Signatures are the bytes "PK" followed by two record-specific bytes, read little-endian:
// 4.3.7, 4.3.12, 4.3.16, 4.3.9, 4.3.14 and 4.3.15 in this order.
inline constexpr std::uint32_t LocalHeaderSignature = 0x04034B50;    // "PK" 3 4
inline constexpr std::uint32_t CentralHeaderSignature = 0x02014B50;  // "PK" 1 2
inline constexpr std::uint32_t EndCentralSignature = 0x06054B50;     // "PK" 5 6
inline constexpr std::uint32_t DataDescriptorSignature = 0x08074B50;  // "PK" 7 8, written by some tools
inline constexpr std::uint32_t Zip64EndSignature = 0x06064B50;         // "PK" 6 6
inline constexpr std::uint32_t Zip64LocatorSignature = 0x07064B50;     // "PK" 6 7

// The fixed parts (4.3.7, 4.3.12, 4.3.16); names, extra fields and comments follow them.
inline constexpr std::int32_t LocalHeaderSize = 30;
inline constexpr std::int32_t CentralHeaderSize = 46;
inline constexpr std::int32_t EndCentralSize = 22;
// The reader never parses a data descriptor; it only steps over its CRC and two sizes
// together with the optional signature in front of them.
inline constexpr std::int32_t DataDescriptorSize = 16;

using TLocalHeaderBytes = std::array<std::uint8_t, LocalHeaderSize>;
using TCentralHeaderBytes = std::array<std::uint8_t, CentralHeaderSize>;
using TEndCentralBytes = std::array<std::uint8_t, EndCentralSize>;

// The ZIP64 end record (its fixed part, 4.3.14) and the locator that stands right before the
// end record (4.3.15).
inline constexpr std::int32_t Zip64EndSize = 56;
inline constexpr std::int32_t Zip64LocatorSize = 20;
namespace zip64_end {
inline constexpr std::size_t Signature = 0;
inline constexpr std::size_t ThisDisk = 16;
inline constexpr std::size_t CentralStartDisk = 20;
inline constexpr std::size_t EntriesThisDisk = 24;
inline constexpr std::size_t TotalEntries = 32;
inline constexpr std::size_t CentralDirSize = 40;
inline constexpr std::size_t CentralDirOffset = 48;
}  // namespace zip64_end
namespace zip64_locator {
inline constexpr std::size_t Signature = 0;
inline constexpr std::size_t EndRecordOffset = 8;
}  // namespace zip64_locator

// Extra-field blocks the reader understands (4.5.1): a 16-bit tag and a 16-bit length before each.
inline constexpr std::uint16_t Zip64ExtraTag = 0x0001;        // 4.5.3: 64-bit sizes, offset, disk
inline constexpr std::uint16_t UnicodePathExtraTag = 0x7075;  // 4.6.9: Info-ZIP, the name in UTF-8
inline constexpr std::uint16_t NtfsExtraTag = 0x000A;         // 4.5.5: Windows times, 100 ns since 1601
inline constexpr std::uint16_t TimestampExtraTag = 0x5455;    // Info-ZIP "UT": Unix times, seconds since 1970
// A 32-bit size or offset of this value, or a 16-bit disk of 0xFFFF, stands in the ZIP64 field.
inline constexpr std::uint32_t Zip64Marker32 = 0xFFFFFFFF;
inline constexpr std::uint16_t Zip64Marker16 = 0xFFFF;

// The upper byte of "version made by" names the system the writer ran on (4.4.2.2).
inline constexpr std::uint8_t HostUnix = 3;
// A Unix writer keeps the file's mode in the upper 16 bits of the external attributes.
inline constexpr std::uint32_t UnixFileTypeMask = 0170000;
inline constexpr std::uint32_t UnixSymbolicLink = 0120000;
inline constexpr std::uint32_t UnixRegularFile = 0100000;
inline constexpr std::uint32_t UnixDirectory = 0040000;

// Field offsets inside the fixed part of the local file header (4.3.7).
namespace local_header {
inline constexpr std::size_t Signature = 0;
inline constexpr std::size_t VersionNeeded = 4;
inline constexpr std::size_t Flags = 6;
inline constexpr std::size_t CompressionMethod = 8;
inline constexpr std::size_t FileTime = 10;  // the low word of the MS-DOS date and time
inline constexpr std::size_t FileDate = 12;  // the high word
inline constexpr std::size_t Crc32 = 14;
inline constexpr std::size_t CompressedSize = 18;
inline constexpr std::size_t UncompressedSize = 22;
inline constexpr std::size_t FileNameLength = 26;
inline constexpr std::size_t ExtraFieldLength = 28;
}  // namespace local_header

// Field offsets inside the fixed part of the central directory file header (4.3.12).
namespace central_header {
inline constexpr std::size_t Signature = 0;
inline constexpr std::size_t VersionMadeBy = 4;
inline constexpr std::size_t VersionNeeded = 6;
inline constexpr std::size_t Flags = 8;
inline constexpr std::size_t CompressionMethod = 10;
inline constexpr std::size_t FileTime = 12;
inline constexpr std::size_t FileDate = 14;
inline constexpr std::size_t Crc32 = 16;
inline constexpr std::size_t CompressedSize = 20;
inline constexpr std::size_t UncompressedSize = 24;
inline constexpr std::size_t FileNameLength = 28;
inline constexpr std::size_t ExtraFieldLength = 30;
inline constexpr std::size_t FileCommentLength = 32;
inline constexpr std::size_t DiskNumberStart = 34;
inline constexpr std::size_t InternalAttributes = 36;
inline constexpr std::size_t ExternalAttributes = 38;
inline constexpr std::size_t LocalHeaderOffset = 42;
}  // namespace central_header

// Field offsets inside the end-of-central-directory record (4.3.16).
namespace end_central {
inline constexpr std::size_t Signature = 0;
inline constexpr std::size_t ThisDisk = 4;
inline constexpr std::size_t CentralStartDisk = 6;
inline constexpr std::size_t EntriesThisDisk = 8;
inline constexpr std::size_t TotalEntries = 10;
inline constexpr std::size_t CentralDirSize = 12;
inline constexpr std::size_t CentralDirOffset = 16;
inline constexpr std::size_t ZipCommentLength = 20;
}  // namespace end_central

// Little-endian values, whatever the host's byte order.
constexpr std::uint16_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
constexpr std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
constexpr std::uint64_t ReadLe64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(ReadLe32(p)) | (static_cast<std::uint64_t>(ReadLe32(p + 4)) << 32);
}
// A 64-bit size or offset of a ZIP64 record; values beyond the signed range (never a real
// archive's) read as the largest one, so no size ever turns negative.
constexpr TZipSize ReadZipSize64(const std::uint8_t* p) {
  const std::uint64_t value = ReadLe64(p);
  return value > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<TZipSize>(value);
}

// The MS-DOS date and time of a header (4.4.6): time in the low word, date in the high word.
constexpr std::uint32_t ReadDosDateTime(const std::uint8_t* time) {
  return static_cast<std::uint32_t>(ReadLe16(time)) | (static_cast<std::uint32_t>(ReadLe16(time + 2)) << 16);
}

}  // namespace qel::archive
