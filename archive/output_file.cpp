#include "archive/output_file.h"

#include "platform/files.h"

namespace qel::archive {

std::uint32_t TOutputFile::Attributes() const {
  return platform::FileGetAttr(FName);
}

bool TOutputFile::IsFile() const {
  const std::uint32_t attributes = Attributes();
  return attributes != platform::InvalidFileAttributes && (attributes & platform::faDirectory) == 0;
}

bool TOutputFile::SetAttributes(std::uint32_t attributes) const {
  return platform::FileSetAttr(FName, attributes);
}

bool TOutputFile::Delete() const { return platform::DeleteFile(FName); }

platform::FileHandle TOutputFile::Open(std::uint32_t mode) const {
  return platform::FileOpen(FName, mode);
}

namespace {
std::string InSameFolder(const std::string& path, const std::string& fileName) {
  const std::size_t slash = path.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + fileName;
}
}  // namespace

TOutputFile TOutputFile::Beside(const std::string& fileName) const {
  return TOutputFile(InSameFolder(FName, fileName));
}

bool TOutputFile::MoveOver(const TOutputFile& target) const {
  const std::uint32_t attributes = target.Attributes();
  const bool readOnly = attributes != platform::InvalidFileAttributes && (attributes & platform::faReadOnly) != 0;
  if (readOnly) target.SetAttributes(attributes & ~platform::faReadOnly);
  const bool moved = platform::MoveFileOver(FName, target.FName);
  if (!moved && readOnly) target.SetAttributes(attributes);
  return moved;
}

}  // namespace qel::archive
