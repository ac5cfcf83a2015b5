#include "archive/end_central.h"

#include <algorithm>
#include <vector>

namespace qel::archive {

namespace {

// How far back from the end the record is looked for. It leaves room for a comment of
// 65506 bytes behind the record; a record with a longer comment is not found.
constexpr std::int64_t SearchWindow = 65528;

}  // namespace

void TEndCentral::Clear() {
  Signature = EndCentralSignature;
  ThisDisk = 0;
  CentralStartDisk = 0;
  EntriesThisDisk = 0;
  TotalEntries = 0;
  CentralDirSize = 0;
  CentralDirOffset = 0;
  ZipCommentLength = 0;
  ZipComment.reset();
  ZipCommentPos = 0;
  RecordPos = 0;
  Zip64 = false;
  Modified = false;
  FDirectoryEnd = 0;
}

bool TEndCentral::FindEndCentral(base::TStream& stream) {
  const std::int64_t size = stream.Size();
  if (size < EndCentralSize) return false;
  const std::int64_t window = std::min(size, SearchWindow);
  std::vector<std::uint8_t> block(static_cast<std::size_t>(window));
  stream.Seek(-window, 2);
  std::int32_t got = 0;
  while (got < window) {
    const std::int32_t n = stream.Read(block.data() + got, static_cast<std::int32_t>(window) - got);
    if (n <= 0) break;
    got += n;
  }
  if (got < window) return false;

  // Backwards, so that the record nearest the end wins over a signature inside a comment.
  for (std::int64_t i = window - EndCentralSize; i >= 0; --i) {
    const std::uint8_t* p = block.data() + i;
    if (p[0] != 'P' || ReadLe32(p) != EndCentralSignature) continue;
    Signature = EndCentralSignature;
    ThisDisk = ReadLe16(p + end_central::ThisDisk);
    CentralStartDisk = ReadLe16(p + end_central::CentralStartDisk);
    EntriesThisDisk = ReadLe16(p + end_central::EntriesThisDisk);
    TotalEntries = ReadLe16(p + end_central::TotalEntries);
    CentralDirSize = ReadLe32(p + end_central::CentralDirSize);
    CentralDirOffset = ReadLe32(p + end_central::CentralDirOffset);
    ZipCommentLength = ReadLe16(p + end_central::ZipCommentLength);
    // A length that reaches back past the record's own end is cut to the bytes that do
    // follow it, so the comment position never lies before the record or the file's start.
    const std::int64_t following = window - i - EndCentralSize;
    if (ZipCommentLength > following) ZipCommentLength = static_cast<std::uint16_t>(following);
    ZipCommentPos = size - ZipCommentLength;
    RecordPos = size - window + i;
    FDirectoryEnd = RecordPos;
    Zip64 = false;
    ReadZip64(stream);
    return true;
  }
  return false;
}

// The locator, when it stands right before the end record, names the ZIP64 end record. A
// self-extractor moves both: when the named offset holds no record, the one right before the
// locator is taken.
void TEndCentral::ReadZip64(base::TStream& stream) {
  if (RecordPos < Zip64LocatorSize + Zip64EndSize) return;
  std::uint8_t locator[Zip64LocatorSize] = {};
  stream.Seek(RecordPos - Zip64LocatorSize, 0);
  if (stream.Read(locator, Zip64LocatorSize) != Zip64LocatorSize ||
      ReadLe32(locator + zip64_locator::Signature) != Zip64LocatorSignature) {
    return;
  }
  const TZipSize named = ReadZipSize64(locator + zip64_locator::EndRecordOffset);
  std::uint8_t record[Zip64EndSize] = {};
  for (const TZipSize at : {named, RecordPos - Zip64LocatorSize - Zip64EndSize}) {
    if (at < 0 || at > RecordPos - Zip64LocatorSize - Zip64EndSize) continue;
    stream.Seek(at, 0);
    if (stream.Read(record, Zip64EndSize) != Zip64EndSize || ReadLe32(record) != Zip64EndSignature) continue;
    ThisDisk = static_cast<std::uint16_t>(std::min<std::uint32_t>(ReadLe32(record + zip64_end::ThisDisk), 0xFFFF));
    CentralStartDisk =
        static_cast<std::uint16_t>(std::min<std::uint32_t>(ReadLe32(record + zip64_end::CentralStartDisk), 0xFFFF));
    EntriesThisDisk = ReadZipSize64(record + zip64_end::EntriesThisDisk);
    TotalEntries = ReadZipSize64(record + zip64_end::TotalEntries);
    CentralDirSize = ReadZipSize64(record + zip64_end::CentralDirSize);
    CentralDirOffset = ReadZipSize64(record + zip64_end::CentralDirOffset);
    FDirectoryEnd = at;
    Zip64 = true;
    return;
  }
}

void TEndCentral::CopyFrom(const TEndCentral& source) {
  if (&source == this) return;
  Signature = source.Signature;
  ThisDisk = source.ThisDisk;
  CentralStartDisk = source.CentralStartDisk;
  EntriesThisDisk = source.EntriesThisDisk;
  TotalEntries = source.TotalEntries;
  CentralDirSize = source.CentralDirSize;
  CentralDirOffset = source.CentralDirOffset;
  ZipCommentLength = source.ZipCommentLength;
  if (source.ZipComment) {
    ZipComment = source.ZipComment;
    ZipCommentLength = static_cast<std::uint16_t>(ZipComment->size());
  }
  ZipCommentPos = source.ZipCommentPos;
  RecordPos = source.RecordPos;
  Zip64 = source.Zip64;
  FDirectoryEnd = source.FDirectoryEnd;
}

void TEndCentral::Assign(const base::TPersistent& source) {
  if (const auto* record = dynamic_cast<const TEndCentral*>(&source)) {
    CopyFrom(*record);
    return;
  }
  base::TPersistent::Assign(source);
}

void TEndCentral::AssignTo(base::TPersistent& target) const {
  if (auto* record = dynamic_cast<TEndCentral*>(&target)) {
    record->CopyFrom(*this);
    return;
  }
  base::TPersistent::AssignTo(target);
}

}  // namespace qel::archive
