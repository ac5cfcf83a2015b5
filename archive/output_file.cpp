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

bool CreateFolder(const std::string& name, const std::string& utf8Path) {
  return utf8Path.empty() ? platform::ForceDirectories(name) : platform::ForceDirectoriesUtf8(utf8Path);
}

}  // namespace qel::archive
