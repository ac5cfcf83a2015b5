// The registry cursor the installer reads and writes its values through: a root and one
// current key below it, every key opened with full access.
#pragma once

#include <cstdint>
#include <string>

#include "base/exceptions.h"
#include "platform/registry.h"

namespace qel::installer {

QEL_DECLARE_EXCEPTION(ERegistryException, base::Exception);

class TRegistryCursor final {
 public:
  // Root HKEY_CURRENT_USER, current key its "Software", created if missing.
  TRegistryCursor();
  ~TRegistryCursor();
  TRegistryCursor(const TRegistryCursor&) = delete;
  TRegistryCursor& operator=(const TRegistryCursor&) = delete;

  platform::RegistryKey RootKey() const noexcept { return FRootKey; }
  // Closes the current key; later opens start from the new root.
  void SetRootKey(platform::RegistryKey root);
  platform::RegistryKey CurrentKey() const noexcept { return FCurrentKey; }

  // Opens name below the current key (below the root when none is open), creating it when
  // create is set. On success it becomes the current key; on failure nothing changes.
  bool OpenKey(const std::string& name, bool create);
  // The string value name of the subkey section of the current key, or defaultValue when the
  // subkey or the value is missing; a value of another type raises ERegistryException.
  std::string ReadString(const std::string& section, const std::string& name, const std::string& defaultValue);
  // Creates or opens the subkey section and stores the value as a string; raises
  // ERegistryException when either fails.
  void WriteString(const std::string& section, const std::string& name, const std::string& value);
  // The same for a number, stored as a DWORD.
  void WriteInteger(const std::string& section, const std::string& name, std::uint32_t value);
  // Removes the subkey name of the current key with all its subkeys, deepest first.
  bool DeleteKey(const std::string& name);

 private:
  platform::RegistryKey Base() const noexcept {
    return FCurrentKey != platform::NoRegistryKey ? FCurrentKey : FRootKey;
  }
  void CloseCurrentKey() noexcept;

  platform::RegistryKey FRootKey = platform::RegistryCurrentUser;
  platform::RegistryKey FCurrentKey = platform::NoRegistryKey;
};

}  // namespace qel::installer
