#include "archive/string_resource.h"

#include <map>
#include <memory>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"

namespace qel::archive {

namespace {

constexpr std::size_t IdSize = 2;
constexpr std::size_t HeaderSize = IdSize + 1;  // identifier and length byte

std::int16_t EntryId(const std::uint8_t* entry) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(entry[0] | (entry[1] << 8)));
}

std::size_t TextLength(const std::uint8_t* entry) { return entry[IdSize]; }

}  // namespace

TS_StringResource::TS_StringResource(const std::string& tableName) { Open(tableName); }

TS_StringResource::~TS_StringResource() { TS_StringResource::Close(); }

void TS_StringResource::Open(const std::string& tableName) {
  Close();
  const platform::ModuleResource found = platform::FindModuleResource(StringTableResourceType, tableName);
  if (found.Data == nullptr) throw base::Exception(base::Format("No such string resource: %s", {tableName}));
  // Not even room for the terminating entry: nothing that could be loaded as a table.
  if (found.Size == 0) throw base::EOutOfResources("Cannot load Kettrel string resource");
  FResource = found;
}

void TS_StringResource::Close() {
  Unlock();
  FResource = {};
}

void TS_StringResource::Lock() {
  if (!IsOpen()) throw base::EOutOfResources("Cannot lock string resource");
  FTable = FResource.Data;
}

void TS_StringResource::Unlock() { FTable = nullptr; }

bool TS_StringResource::IsComplete(const std::uint8_t* entry) const {
  if (FTable == nullptr || entry == nullptr || entry < FTable) return false;
  const auto offset = static_cast<std::size_t>(entry - FTable);
  if (offset > FResource.Size || FResource.Size - offset < IdSize) return false;
  if (EntryId(entry) == 0) return true;
  const std::size_t left = FResource.Size - offset;
  return left >= HeaderSize && left - HeaderSize >= TextLength(entry);
}

const std::uint8_t* TS_StringResource::Next(const std::uint8_t* entry) const {
  if (!IsComplete(entry) || EntryId(entry) == 0) return nullptr;
  return entry + HeaderSize + TextLength(entry);
}

const std::uint8_t* TS_StringResource::Find(std::int16_t id) const {
  for (const std::uint8_t* entry = FTable; IsComplete(entry) && EntryId(entry) != 0; entry = Next(entry)) {
    if (EntryId(entry) == id) return entry;
  }
  return nullptr;
}

std::string TS_StringResource::GetString(std::int16_t id) {
  Lock();
  std::string text;
  try {
    if (const std::uint8_t* entry = Find(id)) {
      text.assign(reinterpret_cast<const char*>(entry + HeaderSize), TextLength(entry));
    }
  } catch (...) {
    Unlock();
    throw;
  }
  Unlock();
  return text;
}

namespace {

struct TTableNameLess {
  bool operator()(const std::string& a, const std::string& b) const { return base::CompareText(a, b) < 0; }
};

using TReaderCache = std::map<std::string, std::unique_ptr<TS_StringResource>, TTableNameLess>;

// Created on first use rather than by a static initializer, so a lookup made while other
// translation units are still being initialised finds it ready.
TReaderCache& ReaderCache() {
  static TReaderCache cache;
  return cache;
}

}  // namespace

std::string LibraryMessage(const std::string& tableName, int id) {
  TReaderCache& cache = ReaderCache();
  auto found = cache.find(tableName);
  if (found == cache.end()) {
    // Opened before it is cached: a table that is missing is looked for again next time.
    auto reader = std::make_unique<TS_StringResource>(tableName);
    found = cache.emplace(tableName, std::move(reader)).first;
  }
  if (id < INT16_MIN || id > INT16_MAX) return {};
  return found->second->GetString(static_cast<std::int16_t>(id));
}

}  // namespace qel::archive
