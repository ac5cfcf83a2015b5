// An object list that keeps its items in the order of a comparison, by binary insertion.
#pragma once

#include <cstdint>

#include "archive/object_list.h"

namespace qel::archive {

// What an insertion does when an item with an equal key is already in the list.
enum class TDuplicateMode : std::uint8_t {
  dmIgnore = 0,  // nothing is inserted; the caller keeps the object
  dmAccept = 1,  // inserted before the first equal item
  dmError = 2,   // EListError "Duplicate Object index", the list unchanged
};

class TSortedObjectList : public TObjectList {
 public:
  explicit TSortedObjectList(TDuplicateMode duplicateMode) : DuplicateMode(duplicateMode) {}
  const char* ClassName() const noexcept override { return "TSortedObjectList"; }

  TDuplicateMode DuplicateMode;

  // A sorted list decides positions itself.
  void Put(std::int32_t index, base::TObject* obj) override;
  // Inserts at the key's position; the index is ignored.
  void Insert(std::int32_t index, base::TObject* obj) override;
  // Returns 0, whatever position the object takes.
  std::int32_t Add(base::TObject* obj) override;
  // The position of an item with the object's key. Where several items share that key it
  // prefers the object itself; an object that the comparison never reports equal (an order
  // without ties) is found by its identity.
  std::int32_t IndexOf(const base::TObject* obj) const override;
  // As the base, preceded by the DuplicateMode byte.
  void ReadData(base::TStream& stream) override;
  void WriteData(base::TStream& stream) const override;

  virtual const base::TObject* KeyOf(const base::TObject* obj) const { return obj; }
  // < 0 when the item in the list comes before the key being placed, 0 when they are equal.
  virtual int Compare(const base::TObject* item, const base::TObject* key) const = 0;
  // Whether an item with an equal key exists, and in index the position where the key
  // belongs: before the first equal item with dmAccept, at an equal item otherwise.
  virtual bool Find(const base::TObject* key, std::int32_t& index) const;
};

}  // namespace qel::archive
