#include "archive/zip_header_info.h"

#include <algorithm>

#include "archive/stored_name.h"

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

// The stored name that follows a header, converted; nothing when it is cut short.
std::optional<std::string> ReadName(base::TStream& stream, std::uint16_t length) {
  std::string name(length, '\0');
  if (length != 0 &&
      ReadUpTo(stream, reinterpret_cast<std::uint8_t*>(name.data()), length) != length) {
    return std::nullopt;
  }
  return ConvertStoredName(name);
}

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

void TZipHeaderInfo::SetFromCentral(const TCentralHeaderBytes& header, std::string_view name) {
  const std::uint8_t* h = header.data();
  VersionMadeBy = ReadLe16(h + central_header::VersionMadeBy);
  VersionNeeded = ReadLe16(h + central_header::VersionNeeded);
  Flags = ReadLe16(h + central_header::Flags);
  CompressionMethod = ReadLe16(h + central_header::CompressionMethod);
  FileDate = ReadDosDateTime(h + central_header::FileTime);
  Crc32 = ReadLe32(h + central_header::Crc32);
  CompressedSize = static_cast<std::int32_t>(ReadLe32(h + central_header::CompressedSize));
  UncompressedSize = static_cast<std::int32_t>(ReadLe32(h + central_header::UncompressedSize));
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
}

void TZipHeaderInfo::SetFromLocal(const TLocalHeaderBytes& header, std::string_view name) {
  const std::uint8_t* h = header.data();
  VersionMadeBy = 0;
  VersionNeeded = ReadLe16(h + local_header::VersionNeeded);
  Flags = ReadLe16(h + local_header::Flags);
  CompressionMethod = ReadLe16(h + local_header::CompressionMethod);
  FileDate = ReadDosDateTime(h + local_header::FileTime);
  Crc32 = ReadLe32(h + local_header::Crc32);
  CompressedSize = static_cast<std::int32_t>(ReadLe32(h + local_header::CompressedSize));
  UncompressedSize = static_cast<std::int32_t>(ReadLe32(h + local_header::UncompressedSize));
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
    if (name) {
      const std::int64_t skipped = static_cast<std::int64_t>(ReadLe16(header.data() + central_header::ExtraFieldLength)) +
                                   ReadLe16(header.data() + central_header::FileCommentLength);
      source->Seek(skipped, 1);
      SetFromCentral(header, *name);
      CentralHeaderOffset = static_cast<std::uint32_t>(headerOffset);
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
      SetFromLocal(header, *name);
      LocalHeaderOffset = static_cast<std::uint32_t>(start);
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
  SetFileName(source.FFileName);
  SetDirectory(source.FDirectory);
  // An unloaded comment of the source must not wipe a text the target already holds: the
  // directory reader merges central headers into entries this way.
  if (source.FileCommentLength != 0 && source.FFileComment) FFileComment = source.FFileComment;
  Selected = source.Selected;
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
