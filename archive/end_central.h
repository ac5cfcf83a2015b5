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
  std::uint16_t EntriesThisDisk;
  std::uint16_t TotalEntries;
  std::uint32_t CentralDirSize;
  std::uint32_t CentralDirOffset;
  std::uint16_t ZipCommentLength;
  std::optional<std::string> ZipComment;  // absent until loaded
  std::uint32_t ZipCommentPos;            // file position of the archive comment
  bool Modified;                          // a comment was changed in memory

  void Clear();

  // Looks for the record in the last 65528 bytes of the stream, nearest the end first, and
  // fills the fields from it. The comment is taken to be the last ZipCommentLength bytes of
  // the stream; it is not read. False when there is no record.
  bool FindEndCentral(base::TStream& stream);

  bool HasComment() const { return ZipCommentLength != 0; }
  std::int32_t RecordSize() const { return EndCentralSize + ZipCommentLength; }

  void Assign(const base::TPersistent& source) override;

 protected:
  void AssignTo(base::TPersistent& target) const override;

 private:
  void CopyFrom(const TEndCentral& source);
};

}  // namespace qel::archive
