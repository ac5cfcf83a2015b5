#include "archive/object_list.h"

#include <algorithm>
#include <memory>

#include "archive/class_registry.h"
#include "base/exceptions.h"
#include "base/format.h"

namespace qel::archive {

namespace {

void WriteByte(base::TStream& stream, std::uint8_t value) { stream.WriteBuffer(&value, 1); }

std::uint8_t ReadByte(base::TStream& stream) {
  std::uint8_t value = 0;
  stream.ReadBuffer(&value, 1);
  return value;
}

}  // namespace

TObjectList::~TObjectList() {
  FreeAll();
  Clear();
}

void TObjectList::Error(std::int64_t value) const {
  throw base::EListError(base::Format("List index out of bounds (%d)", {static_cast<long long>(value)}));
}

void TObjectList::Grow() {
  std::int32_t delta = 4;
  if (FCapacity > 8) {
    delta = 16;
  } else if (FCapacity > 4) {
    delta = 8;
  }
  SetCapacity(FCapacity + delta);
}

void TObjectList::Put(std::int32_t index, base::TObject* obj) {
  if (index < 0 || index >= FCount) Error(index);
  FItems[static_cast<std::size_t>(index)] = obj;
}

void TObjectList::FreeObject(base::TObject* obj) {
  if (OwnsObjects) delete obj;
}

std::int32_t TObjectList::Add(base::TObject* obj) {
  if (FCount == FCapacity) Grow();
  FItems[static_cast<std::size_t>(FCount)] = obj;
  return FCount++;
}

void TObjectList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

std::int32_t TObjectList::IndexOf(const base::TObject* obj) const {
  for (std::int32_t i = 0; i < FCount; ++i) {
    if (FItems[static_cast<std::size_t>(i)] == obj) return i;
  }
  return -1;
}

void TObjectList::Insert(std::int32_t index, base::TObject* obj) {
  if (index < 0 || index > FCount) Error(index);
  if (FCount == FCapacity) Grow();
  const auto at = FItems.begin() + index;
  std::move_backward(at, FItems.begin() + FCount, FItems.begin() + FCount + 1);
  FItems[static_cast<std::size_t>(index)] = obj;
  ++FCount;
}

base::TObject* TObjectList::First() const { return Get(0); }

base::TObject* TObjectList::Last() const { return Get(FCount - 1); }

base::TObject* TObjectList::Neighbour(const base::TObject* obj, bool next) const {
  if (obj == nullptr) return next ? First() : Last();
  const std::int32_t index = IndexOf(obj);
  if (index < 0) {
    throw base::EListError(base::Format("tObject %s not in item list", {obj->ClassName()}));
  }
  const std::int32_t neighbour = next ? index + 1 : index - 1;
  if (neighbour < 0 || neighbour >= FCount) return nullptr;
  return Get(neighbour);
}

base::TObject* TObjectList::Get(std::int32_t index) const {
  if (index < 0 || index >= FCount) Error(index);
  return FItems[static_cast<std::size_t>(index)];
}

void TObjectList::SetCapacity(std::int32_t newCapacity) {
  if (newCapacity == FCapacity) return;
  if (newCapacity < FCount || newCapacity > MaxItems()) Error(newCapacity);
  if (newCapacity == 0) {
    std::vector<base::TObject*>().swap(FItems);
  } else {
    // Only the slots below Count hold references, so a resize keeps every one of them; the
    // vector's geometric growth spares a long run of Add a copy of the whole array per step.
    FItems.resize(static_cast<std::size_t>(newCapacity), nullptr);
  }
  FCapacity = newCapacity;
}

void TObjectList::SetCount(std::int32_t newCount) {
  if (newCount < 0 || newCount > MaxItems()) Error(newCount);
  if (newCount > FCapacity) SetCapacity(newCount);
  for (std::int32_t i = FCount; i < newCount; ++i) FItems[static_cast<std::size_t>(i)] = nullptr;
  // Shrinking only forgets references; the objects are freed by FreeAll, not here.
  for (std::int32_t i = newCount; i < FCount; ++i) FItems[static_cast<std::size_t>(i)] = nullptr;
  FCount = newCount;
}

void TObjectList::FreeAll() {
  for (std::int32_t i = 0; i < FCount; ++i) FreeObject(FItems[static_cast<std::size_t>(i)]);
  Clear();
}

void TObjectList::ReadData(base::TStream& stream) {
  OwnsObjects = ReadByte(stream) != 0;
  std::uint8_t countBytes[4];
  stream.ReadBuffer(countBytes, 4);
  const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(countBytes[0]) |
                                               (static_cast<std::uint32_t>(countBytes[1]) << 8) |
                                               (static_cast<std::uint32_t>(countBytes[2]) << 16) |
                                               (static_cast<std::uint32_t>(countBytes[3]) << 24));
  // Room for all of them at once; a count the list cannot hold fails before anything is read.
  const std::int64_t needed = static_cast<std::int64_t>(FCount) + count;
  if (count < 0 || needed > MaxCapacity) Error(needed);
  if (needed > FCapacity) SetCapacity(static_cast<std::int32_t>(needed));

  for (std::int32_t i = 0; i < count; ++i) {
    std::string className(ReadByte(stream), '\0');
    if (!className.empty()) stream.ReadBuffer(className.data(), static_cast<std::int32_t>(className.size()));
    const tRegisterRec* rec = FindStreamClass(className);
    if (rec == nullptr) throw base::EClassNotFound(base::Format("Class <%s> not registered", {className}));
    std::unique_ptr<base::TObject> obj = rec->Create();
    rec->Read(*obj, stream);
    const std::int32_t before = FCount;
    Add(obj.get());
    // A sorted list may turn the object away as a duplicate; then it is freed here.
    if (FCount != before) obj.release();
  }
}

void TObjectList::WriteData(base::TStream& stream) const {
  WriteByte(stream, OwnsObjects ? 1 : 0);
  const auto count = static_cast<std::uint32_t>(FCount);
  const std::uint8_t countBytes[4] = {static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
                                      static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
  stream.WriteBuffer(countBytes, 4);
  for (std::int32_t i = 0; i < FCount; ++i) {
    const base::TObject* obj = FItems[static_cast<std::size_t>(i)];
    if (obj == nullptr) throw base::EClassNotFound("Nil Source Class!");
    const tRegisterRec* rec = FindStreamClass(obj->ClassName());
    if (rec == nullptr) {
      throw base::EClassNotFound(base::Format("Source Class <%s> not registered", {obj->ClassName()}));
    }
    // Registered names are at most MaxStreamClassName characters, so one length byte holds them.
    const std::string& name = rec->ClassName;
    WriteByte(stream, static_cast<std::uint8_t>(name.size()));
    stream.WriteBuffer(name.data(), static_cast<std::int32_t>(name.size()));
    rec->Write(*obj, stream);
  }
}

}  // namespace qel::archive
