// The library's string tables: resources of type "S_StringTable" in the program's own
// module, and the message lookup the streams raise their errors with.
//
// A table is a run of entries, each a 16-bit little-endian signed identifier, one length
// byte n and n bytes of text; an entry with identifier 0 (the two bytes 0, 0) ends it.
#pragma once

#include <cstdint>
#include <string>

#include "base/object.h"
#include "platform/resources.h"

namespace qel::archive {

inline constexpr char StringTableResourceType[] = "S_StringTable";

class TS_StringResource : public base::TObject {
 public:
  TS_StringResource() = default;
  // Opens the named table at once.
  explicit TS_StringResource(const std::string& tableName);
  ~TS_StringResource() override;
  TS_StringResource(const TS_StringResource&) = delete;
  TS_StringResource& operator=(const TS_StringResource&) = delete;

  const char* ClassName() const noexcept override { return "TS_StringResource"; }

  // Entries are addresses inside the locked table; nullptr stands for none. Neither walk
  // reads past the resource: an entry that does not fit ends the table.
  // The entry after entry; none after the terminating entry.
  virtual const std::uint8_t* Next(const std::uint8_t* entry) const;
  // The first entry with identifier id; none when the table ends first or is not locked.
  virtual const std::uint8_t* Find(std::int16_t id) const;
  // Raises Exception "No such string resource: %s" when the module has no such table.
  virtual void Open(const std::string& tableName);
  virtual void Close();
  // Raises EOutOfResources "Cannot lock string resource" when no table is open.
  virtual void Lock();
  virtual void Unlock();

  // The text of entry id; empty when there is none.
  std::string GetString(std::int16_t id);

  bool IsOpen() const { return FResource.Data != nullptr; }

 private:
  // An entry is complete when its identifier, and unless it ends the table also its length
  // byte and text, lie inside the resource.
  bool IsComplete(const std::uint8_t* entry) const;

  platform::ModuleResource FResource{};
  const std::uint8_t* FTable = nullptr;
};

// The text of message id in the named table. Readers are opened on first use and kept for
// the process's lifetime, found by table name without regard to case.
std::string LibraryMessage(const std::string& tableName, int id);

}  // namespace qel::archive
