// The in-memory end-of-central-directory record, and the search for it at an archive's end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive/zip_records.h"
#include "base/object.h"
#include "base/stream.h"

namespace qel::archive {

class TEndCentral final : public base::TPersistent {
 public:
  TEndCentral() { Clear(); }
  const char* ClassName() const noexcept override { return "TEndCentral"; }

  std::uint32_t Signature;
  std::uint16_t ThisDisk;
  std::uint16_t CentralStartDisk;
  // Counts, size and offset as the ZIP64 end record gives them where the archive has one.
  TZipSize EntriesThisDisk;
  TZipSize TotalEntries;
  TZipSize CentralDirSize;
  TZipSize CentralDirOffset;
  std::uint16_t ZipCommentLength;
  std::optional<std::string> ZipComment;  // absent until loaded
  TZipSize ZipCommentPos;                 // file position of the archive comment
  TZipSize RecordPos;                     // file position of the end record itself
  bool Zip64;                             // the values came from a ZIP64 end record
  bool Modified;                          // a comment was changed in memory

  void Clear();

  // Looks for the record in the last 65528 bytes of the stream, nearest the end first, and
  // fills the fields from it; a ZIP64 locator in front of it leads to the ZIP64 end record,
  // whose values replace the record's. The comment is taken to be the last ZipCommentLength
  // bytes of the stream; it is not read. False when there is no record.
  bool FindEndCentral(base::TStream& stream);

  // Where the directory ends: the end record, or the ZIP64 end record in front of it. The
  // bytes a self-extractor puts before the archive are this less the directory's size and
  // offset.
  TZipSize DirectoryEnd() const { return FDirectoryEnd; }

  bool HasComment() const { return ZipCommentLength != 0; }
  std::int32_t RecordSize() const { return EndCentralSize + ZipCommentLength; }

  void Assign(const base::TPersistent& source) override;

 protected:
  void AssignTo(base::TPersistent& target) const override;

 private:
  void CopyFrom(const TEndCentral& source);
  void ReadZip64(base::TStream& stream);

  TZipSize FDirectoryEnd = 0;
};

}  // namespace qel::archive
