#include "archive/output_file.h"

#include "platform/unicode_names.h"

namespace qel::archive {

std::uint32_t TOutputFile::Attributes() const {
  return IsUtf8() ? platform::FileGetAttrUtf8(FUtf8Path) : platform::FileGetAttr(FName);
}

bool TOutputFile::IsFile() const {
  const std::uint32_t attributes = Attributes();
  return attributes != platform::InvalidFileAttributes && (attributes & platform::faDirectory) == 0;
}

bool TOutputFile::SetAttributes(std::uint32_t attributes) const {
  return IsUtf8() ? platform::FileSetAttrUtf8(FUtf8Path, attributes) : platform::FileSetAttr(FName, attributes);
}

bool TOutputFile::Delete() const { return IsUtf8() ? platform::DeleteFileUtf8(FUtf8Path) : platform::DeleteFile(FName); }

platform::FileHandle TOutputFile::Open(std::uint32_t mode) const {
  return IsUtf8() ? platform::FileOpenUtf8(FUtf8Path, mode) : platform::FileOpen(FName, mode);
}

namespace {
std::string InSameFolder(const std::string& path, const std::string& fileName) {
  const std::size_t slash = path.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + fileName;
}
}  // namespace

TOutputFile TOutputFile::Beside(const std::string& fileName) const {
  return TOutputFile(InSameFolder(FName, fileName), IsUtf8() ? InSameFolder(FUtf8Path, fileName) : std::string());
}

bool TOutputFile::MoveOver(const TOutputFile& target) const {
  const std::uint32_t attributes = target.Attributes();
  const bool readOnly = attributes != platform::InvalidFileAttributes && (attributes & platform::faReadOnly) != 0;
  if (readOnly) target.SetAttributes(attributes & ~platform::faReadOnly);
  // A file and the one beside it (Beside) are named alike: both in UTF-8, or both in ANSI.
  const bool moved = IsUtf8() ? platform::MoveFileOverUtf8(FUtf8Path, target.FUtf8Path)
                              : platform::MoveFileOver(FName, target.FName);
  if (!moved && readOnly) target.SetAttributes(attributes);
  return moved;
}

bool CreateFolder(const std::string& name, const std::string& utf8Path) {
  return utf8Path.empty() ? platform::ForceDirectories(name) : platform::ForceDirectoriesUtf8(utf8Path);
}

}  // namespace qel::archive
