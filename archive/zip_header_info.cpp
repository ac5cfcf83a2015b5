#include "archive/zip_header_info.h"

#include <algorithm>

#include "archive/codecs/crc32.h"
#include "archive/stored_name.h"
#include "platform/files.h"

namespace qel::archive {

namespace {

// Reads until count bytes have arrived or the stream has no more; returns the number read.
std::int32_t ReadUpTo(base::TStream& stream, std::uint8_t* buffer, std::int32_t count) {
  std::int32_t total = 0;
  while (total < count) {
    const std::int32_t got = stream.Read(buffer + total, count - total);
    if (got <= 0) break;
    total += got;
  }
  return total;
}

// True when the first n bytes agree with the signature as far as they go, so that a
// header cut short by the end of a disk is still recognised after one, two or three bytes.
bool BeginsWithSignature(const std::uint8_t* bytes, std::int32_t n, std::uint32_t signature) {
  for (std::int32_t i = 0; i < std::min<std::int32_t>(n, 4); ++i) {
    if (bytes[i] != static_cast<std::uint8_t>(signature >> (8 * i))) return false;
  }
  return n > 0;
}

// The bytes of the stored name that follows a header; nothing when it is cut short.
std::optional<std::string> ReadName(base::TStream& stream, std::uint16_t length) {
  std::string name(length, '\0');
  if (length != 0 &&
      ReadUpTo(stream, reinterpret_cast<std::uint8_t*>(name.data()), length) != length) {
    return std::nullopt;
  }
  return name;
}

// The Unicode path field: a version byte (1), the CRC-32 of the stored name, the name.
constexpr std::size_t UnicodePathHeader = 5;
constexpr std::uint8_t UnicodePathVersion = 1;

}  // namespace

void TZipHeaderInfo::Clear() {
  VersionMadeBy = 20;
  VersionNeeded = 20;
  Flags = 0;
  CompressionMethod = 8;
  FileDate = 0;
  Crc32 = 0xFFFFFFFF;
  CompressedSize = 0;
  UncompressedSize = 0;
  FileNameLength = 0;
  ExtraFieldLength = 0;
  FileCommentLength = 0;
  DiskNumberStart = 0;
  InternalAttributes = 1;
  ExternalAttributes = 0x20;  // the archive bit
  LocalHeaderOffset = 0;
  CentralHeaderOffset = 0;
  Selected = false;
  OverlapsEarlierEntry = false;
  WinZipAes.reset();
  LastWriteTime.reset();
  FStoredName.clear();
  FFileName.clear();
  FDirectory.clear();
  FFileComment.reset();
}

void TZipHeaderInfo::SetFileName(const std::string& s) {
  if (s == FFileName) return;
  FFileName = s;
  FileNameLength = static_cast<std::uint16_t>(FDirectory.size() + FFileName.size());
}

void TZipHeaderInfo::SetDirectory(const std::string& s) {
  std::string directory = WithClosingBackslash(s);
  if (directory == FDirectory) return;
  FDirectory = std::move(directory);
  FileNameLength = static_cast<std::uint16_t>(FDirectory.size() + FFileName.size());
}

void TZipHeaderInfo::SetFileComment(std::optional<std::string> text) {
  FileCommentLength = text ? static_cast<std::uint16_t>(text->size()) : 0;
  FFileComment = std::move(text);
}

void TZipHeaderInfo::SetName(std::string_view name) {
  // A fresh split: the setters then measure FileNameLength from the parts, except for an
  // empty name, which keeps the length the header gave.
  FFileName.clear();
  FDirectory.clear();
  TSplitName parts = SplitStoredName(name);
  SetDirectory(parts.Directory);
  SetFileName(parts.FileName);
}

// The stored bytes decide the name: UTF-8 when flag bit 11 says so, else the OEM code page.
// Unix writers store the user's names, UTF-8 on any current system, without setting the flag:
// from them a name that is well-formed UTF-8 is read as such.
void TZipHeaderInfo::SetStoredName(const std::string& storedName) {
  FStoredName = storedName;
  const bool unixUtf8 = (VersionMadeBy >> 8) == HostUnix && IsUnflaggedUtf8Name(storedName);
  SetName((Flags & FlagUtf8Name) == 0 && !unixUtf8 ? ConvertStoredName(storedName) : ConvertUtf8StoredName(storedName));
}

void TZipHeaderInfo::ApplyExtraField(const std::uint8_t* extra, std::size_t length) {
  std::optional<std::int64_t> ntfsTime;
  std::optional<std::int64_t> unixTime;
  std::size_t at = 0;
  while (at + 4 <= length) {
    const std::uint16_t tag = ReadLe16(extra + at);
    const std::size_t size = std::min<std::size_t>(ReadLe16(extra + at + 2), length - at - 4);
    const std::uint8_t* data = extra + at + 4;
    if (tag == Zip64ExtraTag) TakeZip64Field(data, size);
    if (tag == UnicodePathExtraTag) TakeUnicodePath(data, size);
    if (tag == codecs::WinZipAesExtraTag) WinZipAes = codecs::ParseWinZipAesField(data, size);
    if (tag == NtfsExtraTag) ntfsTime = NtfsLastWriteTime(data, size);
    if (tag == TimestampExtraTag) unixTime = TimestampLastWriteTime(data, size);
    at += 4 + size;
  }
  // The finer of the two wins, wherever each stands in the field.
  if (ntfsTime || unixTime) LastWriteTime = ntfsTime ? ntfsTime : unixTime;
}

// Four reserved bytes, then attributes each under a tag and a size; tag 1 holds the last-write,
// last-access and creation times, eight bytes each. A zero time is none.
std::optional<std::int64_t> TZipHeaderInfo::NtfsLastWriteTime(const std::uint8_t* data, std::size_t length) {
  constexpr std::uint16_t TimesTag = 1;
  constexpr std::size_t TimesSize = 24;
  for (std::size_t at = 4; at + 4 <= length;) {
    const std::uint16_t tag = ReadLe16(data + at);
    const std::size_t size = ReadLe16(data + at + 2);
    if (tag == TimesTag && size >= TimesSize && at + 4 + size <= length) {
      // A time past the year 30828 reads as negative: no time either.
      const std::int64_t ticks = ReadZipSize64(data + at + 4);
      if (ticks <= 0) return std::nullopt;
      return ticks;
    }
    at += 4 + size;
  }
  return std::nullopt;
}

// A flags byte, then the times it announces as signed 32-bit seconds since 1970, UTC; the
// last-write time (bit 0) comes first. A central header's field holds at most that one.
std::optional<std::int64_t> TZipHeaderInfo::TimestampLastWriteTime(const std::uint8_t* data, std::size_t length) {
  if (length < 5 || (data[0] & 1) == 0) return std::nullopt;
  const auto seconds = static_cast<std::int32_t>(ReadLe32(data + 1));
  return (static_cast<std::int64_t>(seconds) + platform::UnixEpochInFileTimeSeconds) * platform::FileTimeTicksPerSecond;
}

// The 64-bit values stand in the order of the fields they replace, each only when its field
// holds the marker.
void TZipHeaderInfo::TakeZip64Field(const std::uint8_t* data, std::size_t length) {
  std::size_t at = 0;
  const auto take = [&](TZipSize& field) {
    if (field != Zip64Marker32 || at + 8 > length) return;
    field = ReadZipSize64(data + at);
    at += 8;
  };
  take(UncompressedSize);
  take(CompressedSize);
  take(LocalHeaderOffset);
  if (DiskNumberStart == Zip64Marker16 && at + 4 <= length) {
    DiskNumberStart = static_cast<std::uint16_t>(std::min<std::uint32_t>(ReadLe32(data + at), 0xFFFF));
  }
}

// Valid only while it belongs to the stored name: a tool that renamed the entry without
// knowing the field left its CRC behind.
void TZipHeaderInfo::TakeUnicodePath(const std::uint8_t* data, std::size_t length) {
  if (length < UnicodePathHeader || data[0] != UnicodePathVersion) return;
  const std::uint32_t crc = ~codecs::UpdateCRC(codecs::CrcInitial, reinterpret_cast<const std::uint8_t*>(FStoredName.data()),
                                              FStoredName.size());
  if (crc != ReadLe32(data + 1)) return;
  const std::string_view path(reinterpret_cast<const char*>(data + UnicodePathHeader), length - UnicodePathHeader);
  SetName(ConvertUtf8StoredName(path));
}

void TZipHeaderInfo::SetFromCentral(const TCentralHeaderBytes& header, std::string_view name) {
  const std::uint8_t* h = header.data();
  VersionMadeBy = ReadLe16(h + central_header::VersionMadeBy);
  VersionNeeded = ReadLe16(h + central_header::VersionNeeded);
  Flags = ReadLe16(h + central_header::Flags);
  CompressionMethod = ReadLe16(h + central_header::CompressionMethod);
  FileDate = ReadDosDateTime(h + central_header::FileTime);
  Crc32 = ReadLe32(h + central_header::Crc32);
  CompressedSize = ReadLe32(h + central_header::CompressedSize);
  UncompressedSize = ReadLe32(h + central_header::UncompressedSize);
  FileNameLength = ReadLe16(h + central_header::FileNameLength);
  ExtraFieldLength = ReadLe16(h + central_header::ExtraFieldLength);
  FileCommentLength = ReadLe16(h + central_header::FileCommentLength);
  DiskNumberStart = ReadLe16(h + central_header::DiskNumberStart);
  InternalAttributes = ReadLe16(h + central_header::InternalAttributes);
  ExternalAttributes = ReadLe32(h + central_header::ExternalAttributes);
  LocalHeaderOffset = ReadLe32(h + central_header::LocalHeaderOffset);
  CentralHeaderOffset = 0;
  SetName(name);
  FFileComment.reset();
  Selected = false;
  OverlapsEarlierEntry = false;
  WinZipAes.reset();
  LastWriteTime.reset();
}

void TZipHeaderInfo::SetFromLocal(const TLocalHeaderBytes& header, std::string_view name) {
  const std::uint8_t* h = header.data();
  VersionMadeBy = 0;
  VersionNeeded = ReadLe16(h + local_header::VersionNeeded);
  Flags = ReadLe16(h + local_header::Flags);
  CompressionMethod = ReadLe16(h + local_header::CompressionMethod);
  FileDate = ReadDosDateTime(h + local_header::FileTime);
  Crc32 = ReadLe32(h + local_header::Crc32);
  CompressedSize = ReadLe32(h + local_header::CompressedSize);
  UncompressedSize = ReadLe32(h + local_header::UncompressedSize);
  FileNameLength = ReadLe16(h + local_header::FileNameLength);
  ExtraFieldLength = ReadLe16(h + local_header::ExtraFieldLength);
  FileCommentLength = 0;
  DiskNumberStart = 0;
  InternalAttributes = 0;
  ExternalAttributes = 0;
  LocalHeaderOffset = 0;
  CentralHeaderOffset = 0;
  SetName(name);
  FFileComment.reset();
  Selected = false;
  OverlapsEarlierEntry = false;
  WinZipAes.reset();
  LastWriteTime.reset();
}

bool TZipHeaderInfo::ReadCentral(base::TStream& stream, const TNextDiskFunc& nextDisk) {
  base::TStream* source = &stream;
  std::int64_t start = source->Position();
  std::int64_t headerOffset = start;
  TCentralHeaderBytes header{};
  std::int32_t n = ReadUpTo(*source, header.data(), CentralHeaderSize);

  // A directory that runs over the end of a disk: the header goes on at the start of the
  // next one. The old stream may be gone after the switch, so only the new one is used.
  if (nextDisk && (n == 0 || (n < CentralHeaderSize && BeginsWithSignature(header.data(), n, CentralHeaderSignature)))) {
    source = nextDisk();
    if (source == nullptr) return false;
    start = source->Position();
    // A header read whole from the new disk begins there, not at the old disk's end.
    if (n == 0) headerOffset = start;
    n += ReadUpTo(*source, header.data() + n, CentralHeaderSize - n);
  }

  if (n == CentralHeaderSize && ReadLe32(header.data()) == CentralHeaderSignature) {
    const std::optional<std::string> name =
        ReadName(*source, ReadLe16(header.data() + central_header::FileNameLength));
    const std::uint16_t extraLength = ReadLe16(header.data() + central_header::ExtraFieldLength);
    std::string extra(extraLength, '\0');
    if (name && ReadUpTo(*source, reinterpret_cast<std::uint8_t*>(extra.data()), extraLength) == extraLength) {
      source->Seek(ReadLe16(header.data() + central_header::FileCommentLength), 1);
      SetFromCentral(header, {});
      SetStoredName(*name);
      ApplyExtraField(reinterpret_cast<const std::uint8_t*>(extra.data()), extra.size());
      CentralHeaderOffset = headerOffset;
      return true;
    }
  }
  source->Seek(start, 0);
  return false;
}

bool TZipHeaderInfo::ReadLocal(base::TStream& stream) {
  const std::int64_t start = stream.Position();
  TLocalHeaderBytes header{};
  if (ReadUpTo(stream, header.data(), LocalHeaderSize) == LocalHeaderSize &&
      ReadLe32(header.data()) == LocalHeaderSignature) {
    const std::optional<std::string> name =
        ReadName(stream, ReadLe16(header.data() + local_header::FileNameLength));
    if (name) {
      SetFromLocal(header, {});
      SetStoredName(*name);
      LocalHeaderOffset = start;
      return true;
    }
  }
  stream.Seek(start, 0);
  return false;
}

void TZipHeaderInfo::CopyFrom(const TZipHeaderInfo& source) {
  if (&source == this) return;
  VersionMadeBy = source.VersionMadeBy;
  VersionNeeded = source.VersionNeeded;
  Flags = source.Flags;
  CompressionMethod = source.CompressionMethod;
  FileDate = source.FileDate;
  Crc32 = source.Crc32;
  CompressedSize = source.CompressedSize;
  UncompressedSize = source.UncompressedSize;
  FileNameLength = source.FileNameLength;
  ExtraFieldLength = source.ExtraFieldLength;
  FileCommentLength = source.FileCommentLength;
  DiskNumberStart = source.DiskNumberStart;
  InternalAttributes = source.InternalAttributes;
  ExternalAttributes = source.ExternalAttributes;
  LocalHeaderOffset = source.LocalHeaderOffset;
  CentralHeaderOffset = source.CentralHeaderOffset;
  FStoredName = source.FStoredName;
  SetFileName(source.FFileName);
  SetDirectory(source.FDirectory);
  // An unloaded comment of the source must not wipe a text the target already holds: the
  // directory reader merges central headers into entries this way.
  if (source.FileCommentLength != 0 && source.FFileComment) FFileComment = source.FFileComment;
  Selected = source.Selected;
  OverlapsEarlierEntry = source.OverlapsEarlierEntry;
  WinZipAes = source.WinZipAes;
  LastWriteTime = source.LastWriteTime;
}

void TZipHeaderInfo::Assign(const base::TPersistent& source) {
  if (const auto* entry = dynamic_cast<const TZipHeaderInfo*>(&source)) {
    CopyFrom(*entry);
    return;
  }
  base::TPersistent::Assign(source);
}

void TZipHeaderInfo::AssignTo(base::TPersistent& target) const {
  if (auto* entry = dynamic_cast<TZipHeaderInfo*>(&target)) {
    entry->CopyFrom(*this);
    return;
  }
  base::TPersistent::AssignTo(target);
}

}  // namespace qel::archive
