// The file an entry goes to. Named in the program's ANSI text, as the events report it; where
// the entry's name is one the ANSI code page cannot spell, the file itself is named with the
// name's UTF-8 spelling, so it lands on disk as the archive gives it.
#pragma once

#include <cstdint>
#include <string>

#include "base/stream.h"
#include "platform/files.h"

namespace qel::archive {

class TOutputFile final {
 public:
  TOutputFile() = default;
  // utf8Path: the full path in UTF-8, or empty to use the ANSI name itself.
  TOutputFile(std::string name, std::string utf8Path) : FName(std::move(name)), FUtf8Path(std::move(utf8Path)) {}

  const std::string& Name() const { return FName; }
  bool IsUtf8() const { return !FUtf8Path.empty(); }
  // The name the platform is given, and how it is written.
  const std::string& PlatformName() const { return IsUtf8() ? FUtf8Path : FName; }
  base::TNameEncoding Encoding() const { return IsUtf8() ? base::TNameEncoding::Utf8 : base::TNameEncoding::Ansi; }

  std::uint32_t Attributes() const;  // InvalidFileAttributes when there is nothing
  bool IsFile() const;
  bool SetAttributes(std::uint32_t attributes) const;
  bool Delete() const;
  platform::FileHandle Open(std::uint32_t mode) const;
  // A file of the given plain (ASCII) name in the same folder.
  TOutputFile Beside(const std::string& fileName) const;
  // Moves this file over target in one step; target's read-only attribute is lifted for the
  // move and stays as it was when the move fails. False, nothing changed, when it fails.
  bool MoveOver(const TOutputFile& target) const;

 private:
  std::string FName;
  std::string FUtf8Path;
};

// Creates every missing level of a folder given as a TOutputFile names it.
bool CreateFolder(const std::string& name, const std::string& utf8Path);

}  // namespace qel::archive
