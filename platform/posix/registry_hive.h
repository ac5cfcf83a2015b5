// A registry hive of the stand-in: a tree of keys holding typed values, read from and
// written to the REGEDIT4 text that regedit exports, so a hive can be read, edited and even
// imported on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel::platform::posix {

struct TRegistryValue {
  std::string Name;  // "" is the key's default value ("@" in the file)
  std::uint32_t Type = 0;
  std::string Data;  // the raw bytes; a string as set, without a terminating NUL
};

// Names keep their spelling and compare ignoring case (the Windows-1252 folding).
class TRegistryKeyNode final {
 public:
  explicit TRegistryKeyNode(std::string name = {}) : FName(std::move(name)) {}

  const std::string& Name() const { return FName; }

  // Subkeys stay ordered ignoring case, the order in which Windows enumerates them.
  std::size_t SubkeyCount() const { return FSubkeys.size(); }
  const TRegistryKeyNode& Subkey(std::size_t index) const { return FSubkeys[index]; }
  TRegistryKeyNode* FindSubkey(std::string_view name);
  // The subkey of that name, added when missing; created tells which.
  TRegistryKeyNode& AddSubkey(std::string_view name, bool& created);
  void RemoveSubkey(std::string_view name);

  // Values keep the order they were first set in.
  const std::vector<TRegistryValue>& Values() const { return FValues; }
  const TRegistryValue* FindValue(std::string_view name) const;
  // Replaces the data and type of an existing value, whose name keeps its first spelling.
  void SetValue(std::string_view name, std::uint32_t type, std::string data);

 private:
  std::string FName;
  std::vector<TRegistryKeyNode> FSubkeys;
  std::vector<TRegistryValue> FValues;
};

// Reads the sections of rootName ("HKEY_CURRENT_USER") from REGEDIT4 text into root.
// Lines it cannot read, and sections of other roots, are skipped, so a hand-edited hive
// still loads what it can.
void ParseHive(std::string_view text, std::string_view rootName, TRegistryKeyNode& root);

// The REGEDIT4 text of the tree: every key below the root as a section, in enumeration
// order; strings quoted where the line format can hold them, other data as dword or hex.
std::string FormatHive(const TRegistryKeyNode& root, std::string_view rootName);

}  // namespace qel::platform::posix
