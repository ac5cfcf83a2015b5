// The registry through advapi32. Every key is opened with KEY_ALL_ACCESS, so a user
// without the right to change a key cannot open it at all, as the installer expects.
#include "platform/registry.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace qel::platform {

namespace {

HKEY AsHkey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }

bool IsPredefined(RegistryKey key) { return key == RegistryCurrentUser || key == RegistryLocalMachine; }

std::int32_t OpenOrCreate(RegistryKey parent, const std::string& name, RegistryKey& key, bool create) {
  HKEY opened = nullptr;
  const LONG result =
      create ? RegCreateKeyExA(AsHkey(parent), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &opened, nullptr)
             : RegOpenKeyExA(AsHkey(parent), name.c_str(), 0, KEY_ALL_ACCESS, &opened);
  key = result == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(opened) : NoRegistryKey;
  return result;
}

}  // namespace

std::int32_t RegistryOpenKey(RegistryKey parent, const std::string& name, RegistryKey& key) {
  return OpenOrCreate(parent, name, key, false);
}

std::int32_t RegistryCreateKey(RegistryKey parent, const std::string& name, RegistryKey& key) {
  return OpenOrCreate(parent, name, key, true);
}

void RegistryCloseKey(RegistryKey key) {
  if (key != NoRegistryKey && !IsPredefined(key)) RegCloseKey(AsHkey(key));
}

std::int32_t RegistryQueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, std::string& data) {
  DWORD valueType = REG_NONE;
  DWORD size = 0;
  LONG result = RegQueryValueExA(AsHkey(key), name.c_str(), nullptr, &valueType, nullptr, &size);
  std::vector<BYTE> buffer;
  // The value may grow between asking for its size and reading it; then ask again.
  while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    // One byte more than needed, so a string stored without its NUL can be read too.
    buffer.resize(size + 1);
    size = static_cast<DWORD>(buffer.size());
    result = RegQueryValueExA(AsHkey(key), name.c_str(), nullptr, &valueType, buffer.data(), &size);
    if (result == ERROR_SUCCESS) break;
  }
  if (result != ERROR_SUCCESS) return result;
  type = valueType;
  data.assign(reinterpret_cast<const char*>(buffer.data()), size);
  // A string ends at its first NUL; one stored without a NUL simply has none.
  if (type == REG_SZ || type == REG_EXPAND_SZ) data = data.substr(0, data.find('\0'));
  return ERROR_SUCCESS;
}

std::int32_t RegistrySetString(RegistryKey key, const std::string& name, const std::string& value) {
  // REG_SZ data includes its terminating NUL.
  return RegSetValueExA(AsHkey(key), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
}

std::int32_t RegistrySetDword(RegistryKey key, const std::string& name, std::uint32_t value) {
  const DWORD data = value;
  return RegSetValueExA(AsHkey(key), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

std::int32_t RegistryEnumKey(RegistryKey key, std::uint32_t index, std::string& name) {
  // A key name has at most 255 characters; the buffer grows should a system allow more.
  std::vector<char> buffer(256);
  for (;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG result = RegEnumKeyExA(AsHkey(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA && buffer.size() < 65536) {
      buffer.resize(buffer.size() * 4);
      continue;
    }
    if (result == ERROR_SUCCESS) name.assign(buffer.data(), length);
    return result;
  }
}

std::int32_t RegistryDeleteKey(RegistryKey parent, const std::string& name) {
  return RegDeleteKeyA(AsHkey(parent), name.c_str());
}

}  // namespace qel::platform
