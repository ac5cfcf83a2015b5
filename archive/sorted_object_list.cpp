#include "archive/sorted_object_list.h"

#include "base/exceptions.h"

namespace qel::archive {

void TSortedObjectList::Put(std::int32_t, base::TObject*) {
  throw base::EListError("Cannot <Put> an Object in a sorted list!");
}

void TSortedObjectList::Insert(std::int32_t, base::TObject* obj) {
  // Items usually come in order (a directory is read in the order of its offsets): one behind
  // the last goes there without a search, where the search would have put it too.
  const std::int32_t count = Count();
  if (count > 0 && Compare(KeyOf(Get(count - 1)), KeyOf(obj)) < 0) {
    TObjectList::Insert(count, obj);
    return;
  }
  std::int32_t index = 0;
  if (Find(KeyOf(obj), index)) {
    switch (DuplicateMode) {
      case TDuplicateMode::dmIgnore:
        return;
      case TDuplicateMode::dmError:
        throw base::EListError("Duplicate Object index");
      case TDuplicateMode::dmAccept:
        break;
    }
  }
  TObjectList::Insert(index, obj);
}

std::int32_t TSortedObjectList::Add(base::TObject* obj) {
  Insert(0, obj);
  return 0;
}

std::int32_t TSortedObjectList::IndexOf(const base::TObject* obj) const {
  std::int32_t index = 0;
  if (Find(KeyOf(obj), index)) {
    // Equal items stand together; the object itself among them is the better answer, and
    // the first of them stands for a key that is not itself in the list.
    for (std::int32_t i = index; i < Count() && Compare(KeyOf(Get(i)), KeyOf(obj)) == 0; ++i) {
      if (Get(i) == obj) return i;
    }
    return index;
  }
  return TObjectList::IndexOf(obj);
}

bool TSortedObjectList::Find(const base::TObject* key, std::int32_t& index) const {
  std::int32_t lo = 0;
  std::int32_t hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const std::int32_t mid = lo + (hi - lo) / 2;
    const int c = Compare(KeyOf(Get(mid)), key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        // Any equal item will do, except with dmAccept, which searches on for the first.
        if (DuplicateMode != TDuplicateMode::dmAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TSortedObjectList::ReadData(base::TStream& stream) {
  std::uint8_t mode = 0;
  stream.ReadBuffer(&mode, 1);
  if (mode > static_cast<std::uint8_t>(TDuplicateMode::dmError)) {
    throw base::EReadError("Stream read error");
  }
  DuplicateMode = static_cast<TDuplicateMode>(mode);
  TObjectList::ReadData(stream);
}

void TSortedObjectList::WriteData(base::TStream& stream) const {
  const auto mode = static_cast<std::uint8_t>(DuplicateMode);
  stream.WriteBuffer(&mode, 1);
  TObjectList::WriteData(stream);
}

}  // namespace qel::archive
