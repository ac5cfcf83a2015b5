// The registry through advapi32's wide calls: names and string data are UTF-8 here and
// UTF-16 in the registry. Every key is opened with KEY_ALL_ACCESS, so a user without the
// right to change a key cannot open it at all, as the installer expects.
#include "platform/registry.h"

#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

using win32::Wide;

namespace {

HKEY AsHkey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }

bool IsPredefined(RegistryKey key) { return key == RegistryCurrentUser || key == RegistryLocalMachine; }

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::int32_t OpenOrCreate(RegistryKey parent, const std::string& name, RegistryKey& key, bool create) {
  HKEY opened = nullptr;
  const std::wstring wideName = Wide(name);
  const LONG result =
      create ? RegCreateKeyExW(AsHkey(parent), wideName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &opened, nullptr)
             : RegOpenKeyExW(AsHkey(parent), wideName.c_str(), 0, KEY_ALL_ACCESS, &opened);
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
  const std::wstring wideName = Wide(name);
  DWORD valueType = REG_NONE;
  DWORD size = 0;  // in bytes, also for string data
  LONG result = RegQueryValueExW(AsHkey(key), wideName.c_str(), nullptr, &valueType, nullptr, &size);
  // Held in UTF-16 units, so string data lies aligned whatever its byte count.
  std::vector<wchar_t> buffer;
  // The value may grow between asking for its size and reading it; then ask again.
  while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    // One unit more than needed, so a string stored without its NUL can be read too.
    buffer.resize(size / sizeof(wchar_t) + 2);
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    result = RegQueryValueExW(AsHkey(key), wideName.c_str(), nullptr, &valueType, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (result == ERROR_SUCCESS) break;
  }
  if (result != ERROR_SUCCESS) return result;
  type = valueType;
  if (IsText(type)) {
    // An odd last byte is no character and is dropped.
    std::wstring_view text(buffer.data(), size / sizeof(wchar_t));
    // A string ends at its first NUL; one stored without a NUL simply has none. A list of
    // strings keeps its NULs.
    if (type != REG_MULTI_SZ) text = text.substr(0, text.find(L'\0'));
    data = win32::Utf8(text);
  } else {
    data.assign(reinterpret_cast<const char*>(buffer.data()), size);
  }
  return ERROR_SUCCESS;
}

std::int32_t RegistrySetString(RegistryKey key, const std::string& name, const std::string& value) {
  const std::wstring wideValue = Wide(value);
  // REG_SZ data includes its terminating NUL; the size is counted in bytes.
  return RegSetValueExW(AsHkey(key), Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wideValue.c_str()),
                        static_cast<DWORD>((wideValue.size() + 1) * sizeof(wchar_t)));
}

std::int32_t RegistrySetDword(RegistryKey key, const std::string& name, std::uint32_t value) {
  const DWORD data = value;
  return RegSetValueExW(AsHkey(key), Wide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

std::int32_t RegistryEnumKey(RegistryKey key, std::uint32_t index, std::string& name) {
  // A key name has at most 255 characters; the buffer grows should a system allow more.
  std::vector<wchar_t> buffer(256);
  for (;;) {
    DWORD length = static_cast<DWORD>(buffer.size());  // in characters
    const LONG result = RegEnumKeyExW(AsHkey(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA && buffer.size() < 65536) {
      buffer.resize(buffer.size() * 4);
      continue;
    }
    if (result == ERROR_SUCCESS) name = win32::Utf8(std::wstring_view(buffer.data(), length));
    return result;
  }
}

std::int32_t RegistryDeleteKey(RegistryKey parent, const std::string& name) {
  return RegDeleteKeyW(AsHkey(parent), Wide(name).c_str());
}

}  // namespace qel::platform
