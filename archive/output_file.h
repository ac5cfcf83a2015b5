// The file an entry goes to, by its full path as the events report it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace qel::archive {

class TOutputFile final {
 public:
  TOutputFile() = default;
  explicit TOutputFile(std::string name) : FName(std::move(name)) {}

  const std::string& Name() const { return FName; }

  std::uint32_t Attributes() const;  // InvalidFileAttributes when there is nothing
  bool IsFile() const;
  bool SetAttributes(std::uint32_t attributes) const;
  bool Delete() const;
  platform::FileHandle Open(std::uint32_t mode) const;
  // A file of the given name in the same folder.
  TOutputFile Beside(const std::string& fileName) const;
  // Moves this file over target in one step; target's read-only attribute is lifted for the
  // move and stays as it was when the move fails. False, nothing changed, when it fails.
  bool MoveOver(const TOutputFile& target) const;

 private:
  std::string FName;
};

}  // namespace qel::archive
