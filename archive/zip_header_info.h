// The in-memory record of one archive entry, filled from its central or local header.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "archive/codecs/winzip_aes.h"
#include "archive/zip_records.h"
#include "base/object.h"
#include "base/stream.h"

namespace qel::archive {

// Switches a multi-disk archive to its next disk and returns the stream of that disk. The
// component's LoadDisk supplies it; it may release the stream that was being read, which
// is therefore never touched again once the callback has run. It raises when no next disk
// can be had.
using TNextDiskFunc = std::function<base::TStream*()>;

class TZipHeaderInfo final : public base::TPersistent {
 public:
  TZipHeaderInfo() { Clear(); }
  const char* ClassName() const noexcept override { return "TZipHeaderInfo"; }

  // The numeric fields are plain record fields, as the headers lay them out.
  std::uint16_t VersionMadeBy;  // 0 for an entry that came from a local header
  std::uint16_t VersionNeeded;
  std::uint16_t Flags;
  std::uint16_t CompressionMethod;
  std::uint32_t FileDate;  // MS-DOS time in the low word, date in the high word
  std::uint32_t Crc32;
  TZipSize CompressedSize;
  TZipSize UncompressedSize;
  std::uint16_t FileNameLength;  // length(Directory) + length(FileName), kept so by the setters
  std::uint16_t ExtraFieldLength;
  std::uint16_t FileCommentLength;
  std::uint16_t DiskNumberStart;
  std::uint16_t InternalAttributes;
  std::uint32_t ExternalAttributes;  // MS-DOS attribute bits in the low byte
  TZipSize LocalHeaderOffset;
  TZipSize CentralHeaderOffset;  // where the central header was read; 0 from a local header
  bool Selected;
  // Set once the directory is read: the entry's local header starts inside the header or data
  // of an entry before it on the same disk, or is the very header an earlier record names.
  // Its bytes are another entry's, and reading them again is how overlapping records multiply
  // a small archive into a huge output: the extraction leaves such an entry out.
  bool OverlapsEarlierEntry;
  // What a WinZip AES extra field says, when the entry has one this reader understands.
  std::optional<codecs::TWinZipAesField> WinZipAes;
  // The exact last-write time, when an extra field carries it (NTFS, else Info-ZIP's "UT"): in
  // 100-nanosecond ticks since 1601-01-01, UTC, as Windows keeps file times. FileDate is the
  // same moment in local time to two seconds.
  std::optional<std::int64_t> LastWriteTime;

  // Back to a fresh record: the defaults the writing side starts a new entry with.
  void Clear();

  const std::string& FileName() const { return FFileName; }
  const std::string& Directory() const { return FDirectory; }
  void SetFileName(const std::string& s);
  // A non-empty directory always ends in "\".
  void SetDirectory(const std::string& s);

  // Absent until the comment is loaded (or set); the record owns the text.
  const std::optional<std::string>& FileComment() const { return FFileComment; }
  void SetFileComment(std::optional<std::string> text);

  bool Encrypted() const { return (Flags & FlagEncrypted) != 0; }
  // Encrypted with AES as WinZip does it: method 99, the encryption flag, and a field understood.
  bool AesEncrypted() const {
    return CompressionMethod == codecs::WinZipAesMethod && Encrypted() && WinZipAes.has_value();
  }
  // The method the data is compressed with: an AES entry names it in its extra field.
  std::uint16_t ActualMethod() const { return AesEncrypted() ? WinZipAes->Method : CompressionMethod; }
  bool HasDataDescriptor() const { return (Flags & FlagDataDescriptor) != 0; }
  // The Unix mode (file type and permissions) a Unix writer kept, when it kept one.
  std::optional<std::uint32_t> UnixMode() const {
    const std::uint32_t mode = ExternalAttributes >> 16;
    if ((VersionMadeBy >> 8) != HostUnix || mode == 0) return std::nullopt;
    return mode;
  }
  // A symbolic link: its data is the path it points at.
  bool IsSymbolicLink() const {
    const std::optional<std::uint32_t> mode = UnixMode();
    return mode && (*mode & UnixFileTypeMask) == UnixSymbolicLink;
  }
  bool HasComment() const { return FileCommentLength != 0; }
  std::int32_t LocalSize() const { return LocalHeaderSize + FileNameLength + ExtraFieldLength; }
  std::int32_t CentralSize() const {
    return CentralHeaderSize + FileNameLength + ExtraFieldLength + FileCommentLength;
  }

  // Fill from a header and its name, already converted to the program's form.
  void SetFromCentral(const TCentralHeaderBytes& header, std::string_view name);
  void SetFromLocal(const TLocalHeaderBytes& header, std::string_view name = {});

  // Read the header at the stream's position. On success the stream stands after the
  // central header's comment, or right after the local header's name (its extra field is
  // not skipped). On failure (no signature, a short header, a short name) the result is
  // false and the stream stands where it was; after a disk switch, that is the new disk's
  // stream at the position it was handed over with.
  // A central header's extra field is read too: its ZIP64 sizes, offset and disk, and an
  // Info-ZIP Unicode path whose check matches the stored name, replace the header's values.
  bool ReadCentral(base::TStream& stream, const TNextDiskFunc& nextDisk = {});
  bool ReadLocal(base::TStream& stream);
  // Takes what an extra field says (as ReadCentral does), for a header read by ReadLocal.
  void ApplyExtraField(const std::uint8_t* extra, std::size_t length);

  // Copies between two entries; any other class fails with EConvertError.
  void Assign(const base::TPersistent& source) override;

 protected:
  void AssignTo(base::TPersistent& target) const override;

 public:
  // The name's bytes as the directory holds them ("/" separators, unconverted).
  const std::string& StoredName() const noexcept { return FStoredName; }

 private:
  void CopyFrom(const TZipHeaderInfo& source);
  void SetName(std::string_view name);
  void SetStoredName(const std::string& storedName);
  void TakeZip64Field(const std::uint8_t* data, std::size_t length);
  void TakeUnicodePath(const std::uint8_t* data, std::size_t length);
  static std::optional<std::int64_t> NtfsLastWriteTime(const std::uint8_t* data, std::size_t length);
  static std::optional<std::int64_t> TimestampLastWriteTime(const std::uint8_t* data, std::size_t length);

  std::string FStoredName;  // the name's bytes as the header holds them

  std::string FFileName;
  std::string FDirectory;
  std::optional<std::string> FFileComment;
};

}  // namespace qel::archive
