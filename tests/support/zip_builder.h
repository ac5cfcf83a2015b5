// Builds the bytes of ZIP archives in memory for tests: well-formed ones, and ones damaged
// on purpose. Every multi-byte value is written little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel::testing {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text);

// The CRC-32 of the ZIP format (reflected polynomial 0xEDB88320, register started at all
// ones and inverted at the end), written here so the tests do not depend on the product's.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);
inline std::uint32_t Crc32(const Bytes& data) { return Crc32(data.data(), data.size()); }

// Appends a little-endian value.
void PutLe16(Bytes& out, std::uint16_t value);
void PutLe32(Bytes& out, std::uint32_t value);

// An MS-DOS date and time (time in the low word, date in the high word).
std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);

struct ZipEntry {
  std::string Name;  // the stored bytes, "/" separators, OEM code page
  Bytes Data;        // the uncompressed data: the CRC and the uncompressed size come from it
  // The bytes stored for the entry; when absent, Data is stored as it is.
  std::optional<Bytes> Compressed;
  std::uint16_t Method = 0;  // 0 stored, 8 deflated, ...
  std::uint16_t Flags = 0;
  std::uint32_t DosDate = 0x28210000;  // 2000-01-01 00:00:00
  std::optional<std::uint32_t> Crc;    // computed from Data unless given
  std::optional<std::uint32_t> UncompressedSize;  // Data's size unless given
  std::uint16_t VersionMadeBy = 20;
  std::uint16_t VersionNeeded = 20;
  std::uint16_t InternalAttributes = 0;
  std::uint32_t ExternalAttributes = 0x20;
  std::uint16_t DiskNumberStart = 0;
  std::string Comment;  // in the central header
  Bytes LocalExtra;
  Bytes CentralExtra;
  // Sets flag bit 3, writes zeros for the CRC and sizes in the local header (unless
  // LocalSizesWithDescriptor) and puts a signed 16-byte descriptor behind the data.
  bool DataDescriptor = false;
  bool LocalSizesWithDescriptor = false;
  // Added to the local-header offset recorded in the central header.
  std::int64_t LocalOffsetDelta = 0;
};

// Where the parts of a built archive landed, in bytes from the archive's start.
struct ZipLayout {
  std::vector<std::uint32_t> LocalHeaderOffsets;
  std::vector<std::uint32_t> CentralHeaderOffsets;
  std::uint32_t CentralDirOffset = 0;
  std::uint32_t CentralDirSize = 0;
  std::uint32_t EndRecordOffset = 0;
};

class ZipBuilder {
 public:
  ZipBuilder& Add(ZipEntry entry);
  // A stored entry with the given name and text.
  ZipBuilder& AddStored(std::string name, std::string_view data);

  std::string ArchiveComment;
  // Bytes in front of the first local header (a self-extractor's program).
  Bytes Prefix;
  // Whether the recorded offsets count the prefix, as a tool that adjusts them would.
  bool OffsetsIncludePrefix = true;

  // Damage and unusual layouts.
  bool OmitCentralDirectory = false;  // the end record still points where it would be
  bool OmitEndRecord = false;
  std::int64_t CentralDirOffsetDelta = 0;  // added to the recorded central directory offset
  std::optional<std::uint16_t> ThisDisk;
  std::optional<std::uint16_t> CentralStartDisk;
  std::optional<std::uint16_t> EntriesThisDisk;
  std::optional<std::uint16_t> TotalEntries;
  std::optional<std::uint16_t> ZipCommentLength;  // recorded length, else the comment's
  std::optional<std::size_t> TruncateTo;          // cut the finished archive to this size

  Bytes Build(ZipLayout* layout = nullptr) const;
  // Writes the archive to a file named as the program names files ("X:\dir\a.zip").
  void WriteToFile(const std::string& fileName) const;

  const std::vector<ZipEntry>& Entries() const { return FEntries; }

 private:
  std::vector<ZipEntry> FEntries;
};

// A local header of one entry, laid out alone (with its name and extra field, no data).
Bytes LocalHeaderBytes(const ZipEntry& entry);
// A central header of one entry at the given local-header offset (name, extra, comment).
Bytes CentralHeaderBytes(const ZipEntry& entry, std::uint32_t localHeaderOffset);

}  // namespace qel::testing
