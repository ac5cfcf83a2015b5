#include "installer/registry_cursor.h"

#include <cstdint>

#include "base/format.h"

namespace qel::installer {

namespace {

constexpr std::int32_t Success = 0;

// Closes a key on every path out of the scope that opened it.
class TKeyCloser final {
 public:
  explicit TKeyCloser(platform::RegistryKey key) : FKey(key) {}
  ~TKeyCloser() { platform::RegistryCloseKey(FKey); }
  TKeyCloser(const TKeyCloser&) = delete;
  TKeyCloser& operator=(const TKeyCloser&) = delete;

 private:
  platform::RegistryKey FKey;
};

// Deletes every subkey of key, deepest first, then key itself below parent.
bool DeleteTree(platform::RegistryKey parent, const std::string& name) {
  platform::RegistryKey key = platform::NoRegistryKey;
  if (platform::RegistryOpenKey(parent, name, key) != Success) return false;
  {
    TKeyCloser closer(key);
    std::string child;
    // Always the first subkey: each one is gone once deleted, so the index stays 0. A subkey
    // that cannot be deleted ends the walk instead of looping on it.
    while (platform::RegistryEnumKey(key, 0, child) == Success) {
      if (!DeleteTree(key, child)) break;
    }
  }
  return platform::RegistryDeleteKey(parent, name) == Success;
}

}  // namespace

TRegistryCursor::TRegistryCursor() { OpenKey("Software", true); }

TRegistryCursor::~TRegistryCursor() { CloseCurrentKey(); }

void TRegistryCursor::SetRootKey(platform::RegistryKey root) {
  CloseCurrentKey();
  FRootKey = root;
}

bool TRegistryCursor::OpenKey(const std::string& name, bool create) {
  platform::RegistryKey key = platform::NoRegistryKey;
  const std::int32_t result =
      create ? platform::RegistryCreateKey(Base(), name, key) : platform::RegistryOpenKey(Base(), name, key);
  if (result != Success) return false;
  CloseCurrentKey();
  FCurrentKey = key;
  return true;
}

std::string TRegistryCursor::ReadString(const std::string& section, const std::string& name,
                                        const std::string& defaultValue) {
  platform::RegistryKey key = platform::NoRegistryKey;
  if (platform::RegistryOpenKey(Base(), section, key) != Success) return defaultValue;
  TKeyCloser closer(key);
  std::uint32_t type = platform::RegistryNone;
  std::string data;
  if (platform::RegistryQueryValue(key, name, type, data) != Success) return defaultValue;
  if (type != platform::RegistryString && type != platform::RegistryExpandString) {
    throw ERegistryException(base::Format("Invalid data type for '%s'", {name}));
  }
  return data;
}

namespace {

// Creates or opens the subkey section of base and stores one value through set.
template <class TSetValue>
void WriteValue(platform::RegistryKey parent, const std::string& section, const std::string& name, TSetValue&& set) {
  platform::RegistryKey key = platform::NoRegistryKey;
  if (platform::RegistryCreateKey(parent, section, key) != Success) {
    throw ERegistryException(base::Format("Failed to create key %s", {section}));
  }
  TKeyCloser closer(key);
  if (set(key) != Success) throw ERegistryException(base::Format("Failed to set data for '%s'", {name}));
}

}  // namespace

void TRegistryCursor::WriteString(const std::string& section, const std::string& name, const std::string& value) {
  WriteValue(Base(), section, name, [&](platform::RegistryKey key) { return platform::RegistrySetString(key, name, value); });
}

void TRegistryCursor::WriteInteger(const std::string& section, const std::string& name, std::uint32_t value) {
  WriteValue(Base(), section, name, [&](platform::RegistryKey key) { return platform::RegistrySetDword(key, name, value); });
}

bool TRegistryCursor::DeleteKey(const std::string& name) { return DeleteTree(Base(), name); }

void TRegistryCursor::CloseCurrentKey() noexcept {
  platform::RegistryCloseKey(FCurrentKey);
  FCurrentKey = platform::NoRegistryKey;
}

}  // namespace qel::installer
