// The list of archive entries, kept in one of the sort modes.
#pragma once

#include <cstdint>

#include "archive/sorted_object_list.h"
#include "archive/zip_header_info.h"

namespace qel::archive {

enum class TZipSortMode : std::uint8_t {
  ByName = 0,             // directory and name, ascending, ASCII letter case ignored
  ByFileName = 1,         // name part only
  ByDirectoryName = 2,    // directory part only
  ByDate = 3,             // newest first
  ByCompressedSize = 4,   // largest first
  ByUnCompressedSize = 5,  // largest first
  ByRate = 6,             // least compressed first
  ByNone = 7,             // by disk, then local-header offset: the entries' physical order
};

// Holds TZipHeaderInfo objects only; comparing anything else raises EConvertError.
class TSortedZip final : public TSortedObjectList {
 public:
  explicit TSortedZip(TDuplicateMode duplicateMode) : TSortedObjectList(duplicateMode) {}
  const char* ClassName() const noexcept override { return "TSortedZip"; }

  // Applies to later insertions; the items already in the list are not reordered.
  TZipSortMode SortMode = TZipSortMode::ByNone;

  // The date and the two size modes never report equality, so entries that tie there keep
  // the order in which they were added.
  int Compare(const base::TObject* item, const base::TObject* key) const override;

  // The entry at index (EListError when out of range); nullptr for an object of another class.
  TZipHeaderInfo* Entry(std::int32_t index) const;

  // An archive may hold far more entries than the 65534 of a plain list: ZIP64 counts them in
  // 64 bits. A list of entries holds as many as an index reaches, bounded by the memory.
  static constexpr std::int32_t MaxEntries = 0x7FFFFFF0;

 protected:
  std::int32_t MaxItems() const override { return MaxEntries; }
};

}  // namespace qel::archive
