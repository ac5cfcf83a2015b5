// The stand-in keeps names in UTF-8 on disk: a UTF-8 path is resolved as it is, without the
// conversion from Windows-1252 that ANSI names go through.
#include "platform/unicode_names.h"

#include "platform/posix/host_path.h"

namespace qel::platform {

FileHandle FileCreateUtf8(const std::string& path) {
  const posix::TUtf8Names utf8;
  return FileCreate(path);
}

FileHandle FileOpenUtf8(const std::string& path, std::uint32_t mode) {
  const posix::TUtf8Names utf8;
  return FileOpen(path, mode);
}

bool DeleteFileUtf8(const std::string& path) {
  const posix::TUtf8Names utf8;
  return DeleteFile(path);
}

bool MoveFileOverUtf8(const std::string& oldPath, const std::string& newPath) {
  const posix::TUtf8Names utf8;
  return MoveFileOver(oldPath, newPath);
}

std::uint32_t FileGetAttrUtf8(const std::string& path) {
  const posix::TUtf8Names utf8;
  return FileGetAttr(path);
}

bool FileSetAttrUtf8(const std::string& path, std::uint32_t attributes) {
  const posix::TUtf8Names utf8;
  return FileSetAttr(path, attributes);
}

bool ForceDirectoriesUtf8(const std::string& path) {
  const posix::TUtf8Names utf8;
  return ForceDirectories(path);
}

}  // namespace qel::platform
