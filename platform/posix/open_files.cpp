// The table of open files behind the sharing rules.
#include "platform/posix/open_files.h"

#include <map>
#include <mutex>

#include "platform/files.h"
#include "platform/posix/last_error.h"

namespace qel::platform::posix {

namespace {

std::mutex TableLock;

std::map<int, TOpenFile>& Table() {
  static std::map<int, TOpenFile> table;
  return table;
}

bool Conflicts(const TOpenFile& existing, const TOpenFile& wanted) {
  return (wanted.CanRead && !existing.ShareRead) || (wanted.CanWrite && !existing.ShareWrite) ||
         (existing.CanRead && !wanted.ShareRead) || (existing.CanWrite && !wanted.ShareWrite);
}

}  // namespace

bool RegisterOpenFile(int fd, const TOpenFile& file) {
  std::lock_guard<std::mutex> guard(TableLock);
  for (const auto& [otherFd, other] : Table()) {
    if (other.Identity == file.Identity && Conflicts(other, file)) return Fail(ErrorSharingViolation);
  }
  Table()[fd] = file;
  return true;
}

void UpdateOpenFile(int fd, const TOpenFile& file) {
  std::lock_guard<std::mutex> guard(TableLock);
  const auto found = Table().find(fd);
  if (found != Table().end()) found->second = file;
}

void UnregisterOpenFile(int fd) {
  std::lock_guard<std::mutex> guard(TableLock);
  Table().erase(fd);
}

std::optional<TOpenFile> FindOpenFile(int fd) {
  std::lock_guard<std::mutex> guard(TableLock);
  const auto found = Table().find(fd);
  if (found == Table().end()) return std::nullopt;
  return found->second;
}

bool IsFileOpen(const TFileIdentity& identity) {
  std::lock_guard<std::mutex> guard(TableLock);
  for (const auto& [fd, file] : Table()) {
    if (file.Identity == identity) return true;
  }
  return false;
}

}  // namespace qel::platform::posix
