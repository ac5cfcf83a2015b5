// Names in the stand-in's file system: delete, rename, attributes, folders, the current
// directory and full path names.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/posix/file_time.h"
#include "platform/posix/host_path.h"
#include "platform/posix/last_error.h"
#include "platform/posix/open_files.h"
#include "platform/posix/sandbox.h"
#include "platform/posix/windows_path.h"

namespace qel::platform {

using posix::Fail;
using posix::FailFromErrno;

namespace {

// Resolves name and reads what is there; false (last error set) when nothing is.
bool StatExisting(const std::string& name, posix::THostPath& path, struct stat& info) {
  if (!posix::ResolveHostPath(name, path)) return false;
  if (!path.Found) return posix::FailMissing(path);
  info = path.Info;
  return true;
}

std::string WithoutClosingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

bool DeleteFile(const std::string& name) {
  posix::THostPath path;
  struct stat info {};
  if (!posix::ResolveHostPath(name, path)) return false;
  // A link is deleted as itself, as Windows deletes one, whatever it points at or whether that is there.
  if (posix::IsLinkItself(path, info)) {
    if (unlink(path.Host.c_str()) != 0) return FailFromErrno(errno);
    posix::NoteEntryRemoved(path.Host);
    return true;
  }
  if (!path.Found) return posix::FailMissing(path);
  info = path.Info;
  if (S_ISDIR(info.st_mode) || (info.st_mode & S_IWUSR) == 0) return Fail(ErrorAccessDenied);
  // No open of this program asks Windows for delete sharing, so an open file stays.
  if (posix::IsFileOpen({info.st_dev, info.st_ino})) return Fail(ErrorSharingViolation);
  if (unlink(path.Host.c_str()) != 0) return FailFromErrno(errno);
  posix::NoteEntryRemoved(path.Host);
  return true;
}

bool RenameFile(const std::string& oldName, const std::string& newName) {
  posix::THostPath from;
  struct stat fromInfo {};
  if (!StatExisting(oldName, from, fromInfo)) return false;
  posix::THostPath to;
  if (!posix::ResolveHostPath(newName, to)) return false;
  if (to.IsRoot || from.IsRoot) return Fail(ErrorAccessDenied);
  if (to.Found) {
    const struct stat& toInfo = to.Info;
    const bool sameFile = toInfo.st_dev == fromInfo.st_dev && toInfo.st_ino == fromInfo.st_ino;
    if (!sameFile) return Fail(ErrorAlreadyExists);
    // Only the letter case changes: the lookup found the old file under the new name,
    // so the new spelling goes into the folder the old one is in.
    const std::string toPath = WithoutClosingBackslash(to.Windows);
    to.Host = from.Host.substr(0, from.Host.rfind('/') + 1) + toPath.substr(toPath.rfind('\\') + 1);
  } else if (!to.ParentExists) {
    return Fail(ErrorPathNotFound);
  }
  if (!S_ISDIR(fromInfo.st_mode) && posix::IsFileOpen({fromInfo.st_dev, fromInfo.st_ino})) {
    return Fail(ErrorSharingViolation);
  }
  if (std::rename(from.Host.c_str(), to.Host.c_str()) != 0) return FailFromErrno(errno);
  posix::NoteEntryRemoved(from.Host);
  posix::NoteEntryAdded(to.Host);
  return true;
}

bool DeleteFileAtReboot(const std::string&) { return Fail(ErrorAccessDenied); }

bool MoveFileOver(const std::string& oldName, const std::string& newName) {
  posix::THostPath from;
  struct stat fromInfo {};
  if (!StatExisting(oldName, from, fromInfo)) return false;
  posix::THostPath to;
  if (!posix::ResolveHostPath(newName, to)) return false;
  if (to.IsRoot || from.IsRoot || S_ISDIR(fromInfo.st_mode)) return Fail(ErrorAccessDenied);
  if (!to.Found) {
    if (!to.ParentExists) return Fail(ErrorPathNotFound);
  } else {
    // Windows refuses to replace a read-only file, a folder or a file someone has open.
    if (S_ISDIR(to.Info.st_mode) || (to.Info.st_mode & S_IWUSR) == 0) return Fail(ErrorAccessDenied);
    if (posix::IsFileOpen({to.Info.st_dev, to.Info.st_ino})) return Fail(ErrorSharingViolation);
  }
  if (posix::IsFileOpen({fromInfo.st_dev, fromInfo.st_ino})) return Fail(ErrorSharingViolation);
  // rename() replaces the target in one step, as MoveFileEx does.
  if (std::rename(from.Host.c_str(), to.Host.c_str()) != 0) return FailFromErrno(errno);
  posix::NoteEntryRemoved(from.Host);
  if (!to.Found) posix::NoteEntryAdded(to.Host);
  return true;
}

std::uint32_t FileGetAttr(const std::string& name) {
  posix::THostPath path;
  struct stat info {};
  // Windows tells of a link itself, not of what it points at: here a link is a plain entry, a
  // file to FileExists, to be set aside, replaced or deleted as itself, even when it points at
  // nothing or at a folder.
  if (!posix::ResolveHostPath(name, path)) return InvalidFileAttributes;
  if (posix::IsLinkItself(path, info)) return 0;
  if (!path.Found) return posix::FailMissing(path), InvalidFileAttributes;
  info = path.Info;
  if (S_ISDIR(info.st_mode)) return faDirectory;
  return (info.st_mode & S_IWUSR) == 0 ? faReadOnly : 0;
}

bool FileSetAttr(const std::string& name, std::uint32_t attributes) {
  posix::THostPath path;
  struct stat info {};
  if (!StatExisting(name, path, info)) return false;
  // Only the read-only bit of a file has a POSIX counterpart; the others are accepted.
  if (S_ISDIR(info.st_mode)) return true;
  const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
  const mode_t mode = (attributes & faReadOnly) != 0 ? info.st_mode & ~writable : info.st_mode | S_IWUSR;
  if ((mode & 07777) == (info.st_mode & 07777)) return true;  // already so
  if (chmod(path.Host.c_str(), mode & 07777) != 0) return FailFromErrno(errno);
  return true;
}

bool FileExists(const std::string& name) {
  const std::uint32_t attributes = FileGetAttr(name);
  return attributes != InvalidFileAttributes && (attributes & faDirectory) == 0;
}

bool DirectoryExists(const std::string& name) {
  posix::THostPath path;
  struct stat info {};
  return StatExisting(name, path, info) && S_ISDIR(info.st_mode);
}

bool CreateDir(const std::string& name) {
  posix::THostPath path;
  if (!posix::ResolveHostPath(name, path)) return false;
  if (path.IsRoot || path.Found) return Fail(ErrorAlreadyExists);
  if (!path.ParentExists) return Fail(ErrorPathNotFound);
  if (mkdir(path.Host.c_str(), 0777) != 0) return FailFromErrno(errno);
  posix::NoteEntryAdded(path.Host);
  return true;
}

bool RemoveDir(const std::string& name) {
  posix::THostPath path;
  struct stat info {};
  if (!StatExisting(name, path, info)) return false;
  if (!S_ISDIR(info.st_mode)) return Fail(posix::ErrorDirectory);
  // Windows keeps the current directory open, so it cannot be removed.
  if (path.IsRoot || SameTextLocale(WithoutClosingBackslash(path.Windows), posix::CurrentDirectory())) {
    return Fail(ErrorSharingViolation);
  }
  if (rmdir(path.Host.c_str()) != 0) return FailFromErrno(errno);
  posix::NoteEntryRemoved(path.Host);
  return true;
}

std::optional<TFileTime> FileGetTime(const std::string& name) {
  posix::THostPath path;
  struct stat info {};
  if (!posix::ResolveHostPath(name, path)) return std::nullopt;
  if (!posix::IsLinkItself(path, info)) {
    if (!path.Found) return posix::FailMissing(path), std::nullopt;
    info = path.Info;
  }
  if (S_ISDIR(info.st_mode)) return std::nullopt;
  return posix::FileTimeOf(info.st_mtim);
}

bool DirectorySetTime(const std::string& name, TFileTime lastWriteTime) {
  posix::THostPath path;
  struct stat info {};
  if (!StatExisting(name, path, info)) return false;
  if (!S_ISDIR(info.st_mode)) return Fail(posix::ErrorDirectory);
  const timespec times[2] = {{0, UTIME_OMIT}, posix::TimespecOf(lastWriteTime)};
  if (utimensat(AT_FDCWD, path.Host.c_str(), times, 0) != 0) return FailFromErrno(errno);
  return true;
}

std::string GetCurrentDir() { return posix::CurrentDirectory(); }

bool SetCurrentDir(const std::string& path) {
  posix::THostPath resolved;
  struct stat info {};
  if (!StatExisting(path, resolved, info)) return false;
  if (!S_ISDIR(info.st_mode)) return Fail(posix::ErrorDirectory);
  posix::SetCurrentDirectory(WithoutClosingBackslash(resolved.Windows));
  return true;
}

std::string ExpandFileName(const std::string& name) {
  if (name.empty()) return {};
  return posix::FormatWindowsPath(posix::ParseWindowsPath(name, posix::CurrentDirectory()));
}

std::string ModuleFileName() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) return posix::HostToWindowsPath(std::string(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace qel::platform
