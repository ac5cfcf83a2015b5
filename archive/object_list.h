// A list of object references that frees its objects exactly when it owns them.
#pragma once

#include <cstdint>
#include <vector>

#include "base/object.h"
#include "base/stream.h"

namespace qel::archive {

// The references are raw pointers on purpose: whether the list frees them depends on
// OwnsObjects at the moment of freeing, and one object may sit in an owning list and in
// any number of non-owning views at once. An owning list deletes its objects in FreeAll
// and in its destructor; nothing else in the list ever deletes one.
class TObjectList : public base::TPersistent {
 public:
  // The largest capacity; the growth steps stop below it, at 65520 objects.
  static constexpr std::int32_t MaxCapacity = 65534;

  TObjectList() = default;
  ~TObjectList() override;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;
  const char* ClassName() const noexcept override { return "TObjectList"; }

  bool OwnsObjects = true;

  std::int32_t Count() const { return FCount; }
  std::int32_t Capacity() const { return FCapacity; }

  // EListError "List index out of bounds (%d)" with the offending value.
  [[noreturn]] virtual void Error(std::int64_t value) const;
  virtual void Grow();
  virtual void Put(std::int32_t index, base::TObject* obj);  // the old object is not freed
  virtual void FreeObject(base::TObject* obj);
  virtual std::int32_t Add(base::TObject* obj);  // the index of the new item
  virtual void Clear();  // drops every reference without freeing, and the array
  virtual std::int32_t IndexOf(const base::TObject* obj) const;
  virtual void Insert(std::int32_t index, base::TObject* obj);
  // The "ObjectContainer" data: the OwnsObjects flag, the count, then each object's class
  // name and the data its class's registered writer produces (see class_registry.h).
  // ReadData appends the objects it reads and takes the OwnsObjects flag from the stream;
  // objects read into a list that then does not own them belong to the caller.
  virtual void ReadData(base::TStream& stream);
  virtual void WriteData(base::TStream& stream) const;
  virtual base::TObject* First() const;
  virtual base::TObject* Last() const;
  // The item after (next) or before obj, nothing beyond either end; with no obj, the first
  // or the last item. EListError when obj is not in the list.
  virtual base::TObject* Neighbour(const base::TObject* obj, bool next) const;

  base::TObject* Get(std::int32_t index) const;
  void SetCapacity(std::int32_t newCapacity);
  void SetCount(std::int32_t newCount);
  // FreeObject on every item in order, then Clear.
  void FreeAll();

  // The list's contents are published under this name, and only when Count > 0.
  static constexpr const char* ObjectContainerName = "ObjectContainer";
  bool StoresObjectContainer() const { return FCount > 0; }

 protected:
  // The largest capacity of this list: MaxCapacity, unless a kind of list needs more.
  virtual std::int32_t MaxItems() const { return MaxCapacity; }

 private:
  std::vector<base::TObject*> FItems;  // Capacity slots; those from Count on are empty
  std::int32_t FCount = 0;
  std::int32_t FCapacity = 0;
};

}  // namespace qel::archive
