// The registry of the stand-in: HKEY_LOCAL_MACHINE in $QEL_ROOT/system.reg and
// HKEY_CURRENT_USER in $QEL_ROOT/user.reg, REGEDIT4 text files.
//
// A hive is read again whenever its file is not the one last read (every write replaces
// the file by a rename, so another process's change shows as a new file). A handle names
// its hive and the path of its key, so a key deleted meanwhile is found missing and the
// handle fails with ERROR_KEY_DELETED instead of pointing at freed memory. A hive whose
// file (or, while there is none, whose folder) is not writable refuses every open, as
// Windows refuses KEY_ALL_ACCESS to a user without administrator rights.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/posix/last_error.h"
#include "platform/posix/registry_hive.h"
#include "platform/posix/sandbox.h"

namespace qel::platform {

namespace {

using posix::TRegistryKeyNode;

constexpr std::int32_t ErrorSuccess = 0;
constexpr std::int32_t ErrorFileNotFound = 2;
constexpr std::int32_t ErrorAccessDenied = 5;
constexpr std::int32_t ErrorInvalidHandle = 6;
constexpr std::int32_t ErrorInvalidParameter = 87;
constexpr std::int32_t ErrorNoMoreItems = 259;
constexpr std::int32_t ErrorRegistryIoFailed = 1016;
constexpr std::int32_t ErrorKeyDeleted = 1018;

// Handles count up from here in steps of four, as Windows handles do; far below the roots.
constexpr RegistryKey FirstHandle = 0x100;
constexpr RegistryKey HandleStep = 4;
constexpr mode_t NewHiveMode = 0644;

// Which file was read: a rewrite is a rename, so it always shows as another inode.
struct TFileStamp {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  timespec Modified{};
  bool operator==(const TFileStamp& other) const {
    return Device == other.Device && Inode == other.Inode && Size == other.Size &&
           Modified.tv_sec == other.Modified.tv_sec && Modified.tv_nsec == other.Modified.tv_nsec;
  }
};

TFileStamp StampOf(const struct stat& info) { return {info.st_dev, info.st_ino, info.st_size, info.st_mtim}; }

struct THive {
  const char* FileName;
  const char* RootName;
  TRegistryKeyNode Root;
  std::optional<TFileStamp> Stamp;  // none until read, or after a failed write
};

struct THandle {
  THive* Hive;
  std::vector<std::string> Path;  // key names from the root down
};

std::mutex Lock;
THive MachineHive{"system.reg", "HKEY_LOCAL_MACHINE", TRegistryKeyNode(), std::nullopt};
THive UserHive{"user.reg", "HKEY_CURRENT_USER", TRegistryKeyNode(), std::nullopt};
std::map<RegistryKey, THandle> Handles;
RegistryKey NextHandle = FirstHandle;

// The sandbox is laid out before the lock is taken: a fresh system's hook may itself use
// the registry.
std::unique_lock<std::mutex> LockRegistry() {
  posix::Sandbox();
  return std::unique_lock<std::mutex>(Lock);
}

std::string FolderOf(const THive&) { return posix::Sandbox().Root; }
std::string FileOf(const THive& hive) { return FolderOf(hive) + "/" + hive.FileName; }

// What a new Windows holds that the installer reads.
void AddFreshSystemValues(THive& hive) {
  const posix::TSandboxLayout& layout = posix::Sandbox();
  TRegistryKeyNode* key = &hive.Root;
  bool created = false;
  if (&hive == &MachineHive) {
    for (const char* name : {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion"}) key = &key->AddSubkey(name, created);
    key->SetValue("ProgramFilesDir", RegistryString, layout.ProgramFilesDir);
  } else {
    for (const char* name : {"Software", "Microsoft", "Windows", "CurrentVersion", "Explorer", "Shell Folders"}) {
      key = &key->AddSubkey(name, created);
    }
    key->SetValue("Programs", RegistryString, layout.ProgramsDir);
  }
}

// Windows refuses an administrator's write to a read-only file, and root on POSIX passes
// access(), so the owner's write bit decides as well as access() does.
bool IsWritable(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) != 0 && access(path.c_str(), W_OK) == 0;
}

bool HiveWritable(const THive& hive) {
  const std::string file = FileOf(hive);
  struct stat info {};
  // Writing replaces the file within its folder, so both must allow it.
  if (stat(file.c_str(), &info) == 0 && !IsWritable(file)) return false;
  return IsWritable(FolderOf(hive));
}

std::int32_t ErrorFromErrno(int error) {
  return error == EACCES || error == EPERM || error == EROFS ? ErrorAccessDenied : ErrorRegistryIoFailed;
}

bool WriteAll(int fd, const std::string& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// The hives are the system drive's files, so a capacity set for C: holds them too: a test's
// full system disk refuses a change that makes a hive larger than that.
bool FitsSystemDrive(const std::string& text) {
  const std::int64_t capacity = posix::DriveCapacity('c');
  return capacity < 0 || static_cast<std::int64_t>(text.size()) <= capacity;
}

// Writes the hive to a temporary file beside it and renames that over it, so the hive on
// disk is always either the old or the new one, never half of it. On failure the tree in
// memory no longer matches the file; it is read again on the next call.
std::int32_t SaveHive(THive& hive) {
  const std::string file = FileOf(hive);
  const std::string text = posix::FormatHive(hive.Root, hive.RootName);
  if (!FitsSystemDrive(text)) {
    hive.Stamp.reset();
    return static_cast<std::int32_t>(posix::ErrorDiskFull);
  }
  std::string temporary = file + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    const int error = errno;
    hive.Stamp.reset();
    return ErrorFromErrno(error);
  }
  struct stat old {};
  const mode_t mode = stat(file.c_str(), &old) == 0 ? old.st_mode & 07777 : NewHiveMode;
  bool written = WriteAll(fd, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) written = false, error = errno;
  if (written && rename(temporary.c_str(), file.c_str()) != 0) written = false, error = errno;
  struct stat now {};
  if (!written || stat(file.c_str(), &now) != 0) {
    unlink(temporary.c_str());
    hive.Stamp.reset();
    return written ? ErrorRegistryIoFailed : ErrorFromErrno(error);
  }
  hive.Stamp = StampOf(now);
  return ErrorSuccess;
}

// 0 or the errno of the failure.
int ReadWholeFile(const std::string& path, std::string& bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  bytes.clear();
  std::array<char, 16384> buffer;
  int error = 0;
  for (ssize_t got; (got = read(fd, buffer.data(), buffer.size())) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = errno;
      break;
    }
    bytes.append(buffer.data(), static_cast<std::size_t>(got));
  }
  close(fd);
  return error;
}

// Brings the tree up to the file; a missing hive is laid out as a fresh system has it.
std::int32_t LoadHive(THive& hive) {
  const std::string file = FileOf(hive);
  struct stat info {};
  if (stat(file.c_str(), &info) != 0) {
    hive.Root = TRegistryKeyNode();
    AddFreshSystemValues(hive);
    // Without a writable folder the fresh values still answer queries; opens are refused.
    if (SaveHive(hive) != ErrorSuccess) hive.Stamp.reset();
    return ErrorSuccess;
  }
  if (hive.Stamp && *hive.Stamp == StampOf(info)) return ErrorSuccess;
  std::string text;
  if (const int error = ReadWholeFile(file, text); error != 0) return ErrorFromErrno(error);
  hive.Root = TRegistryKeyNode();
  posix::ParseHive(text, hive.RootName, hive.Root);
  hive.Stamp = StampOf(info);
  return ErrorSuccess;
}

// The key names of a relative path "A\B\C". Windows accepts one closing backslash; an empty
// name elsewhere, or a line break, which a hive file cannot hold in a key name, is refused.
// Everything from a NUL on is ignored, as the C string of the Windows call would end there.
std::int32_t SplitPath(const std::string& name, std::vector<std::string>& parts) {
  std::string_view path(name.c_str());
  parts.clear();
  if (path.find_first_of("\r\n") != std::string_view::npos) return ErrorInvalidParameter;
  if (path.empty()) return ErrorSuccess;
  if (path.back() == '\\') path.remove_suffix(1);
  for (std::size_t start = 0;;) {
    const std::size_t slash = path.find('\\', start);
    const std::string_view part = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (part.empty()) return ErrorInvalidParameter;
    parts.emplace_back(part);
    if (slash == std::string_view::npos) return ErrorSuccess;
    start = slash + 1;
  }
}

// The hive and path behind a handle, with the hive brought up to its file.
std::int32_t ResolveHandle(RegistryKey key, THive*& hive, std::vector<std::string>& path) {
  if (key == RegistryLocalMachine || key == RegistryCurrentUser) {
    hive = key == RegistryLocalMachine ? &MachineHive : &UserHive;
    path.clear();
  } else {
    const auto found = Handles.find(key);
    if (found == Handles.end()) return ErrorInvalidHandle;
    hive = found->second.Hive;
    path = found->second.Path;
  }
  return LoadHive(*hive);
}

TRegistryKeyNode* FindPath(TRegistryKeyNode& root, const std::vector<std::string>& path) {
  TRegistryKeyNode* node = &root;
  for (const std::string& name : path) {
    node = node->FindSubkey(name);
    if (node == nullptr) return nullptr;
  }
  return node;
}

// The key behind a handle; a handle whose key was deleted meanwhile is refused.
std::int32_t ResolveKey(RegistryKey key, THive*& hive, std::vector<std::string>& path, TRegistryKeyNode*& node) {
  if (const std::int32_t result = ResolveHandle(key, hive, path); result != ErrorSuccess) return result;
  node = FindPath(hive->Root, path);
  return node == nullptr ? ErrorKeyDeleted : ErrorSuccess;
}

RegistryKey AddHandle(THive& hive, std::vector<std::string> path) {
  while (Handles.contains(NextHandle) || NextHandle == NoRegistryKey) NextHandle += HandleStep;
  const RegistryKey key = NextHandle;
  NextHandle += HandleStep;
  Handles.emplace(key, THandle{&hive, std::move(path)});
  return key;
}

std::int32_t OpenOrCreate(RegistryKey parent, const std::string& name, RegistryKey& key, bool create) {
  key = NoRegistryKey;
  std::vector<std::string> parts;
  if (const std::int32_t result = SplitPath(name, parts); result != ErrorSuccess) return result;
  const std::unique_lock<std::mutex> guard = LockRegistry();
  THive* hive = nullptr;
  std::vector<std::string> path;
  TRegistryKeyNode* node = nullptr;
  if (const std::int32_t result = ResolveKey(parent, hive, path, node); result != ErrorSuccess) return result;
  bool changed = false;
  for (const std::string& part : parts) {
    TRegistryKeyNode* next = node->FindSubkey(part);
    if (next == nullptr) {
      if (!create) return ErrorFileNotFound;
      if (!HiveWritable(*hive)) return ErrorAccessDenied;
      bool created = false;
      next = &node->AddSubkey(part, created);
      changed = true;
    }
    node = next;
    path.push_back(node->Name());
  }
  if (!HiveWritable(*hive)) return ErrorAccessDenied;
  if (changed) {
    if (const std::int32_t result = SaveHive(*hive); result != ErrorSuccess) return result;
  }
  key = AddHandle(*hive, std::move(path));
  return ErrorSuccess;
}

}  // namespace

std::int32_t RegistryOpenKey(RegistryKey parent, const std::string& name, RegistryKey& key) {
  return OpenOrCreate(parent, name, key, false);
}

std::int32_t RegistryCreateKey(RegistryKey parent, const std::string& name, RegistryKey& key) {
  return OpenOrCreate(parent, name, key, true);
}

void RegistryCloseKey(RegistryKey key) {
  const std::unique_lock<std::mutex> guard = LockRegistry();
  Handles.erase(key);
}

std::int32_t RegistryQueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, std::string& data) {
  const std::unique_lock<std::mutex> guard = LockRegistry();
  THive* hive = nullptr;
  std::vector<std::string> path;
  TRegistryKeyNode* node = nullptr;
  if (const std::int32_t result = ResolveKey(key, hive, path, node); result != ErrorSuccess) return result;
  const posix::TRegistryValue* value = node->FindValue(name.c_str());
  if (value == nullptr) return ErrorFileNotFound;
  type = value->Type;
  data = value->Data;
  // A string ends at its first NUL, however the data was stored.
  if (type == RegistryString || type == RegistryExpandString) data = data.substr(0, data.find('\0'));
  return ErrorSuccess;
}

namespace {

std::int32_t SetValue(RegistryKey key, const std::string& name, std::uint32_t type, std::string data) {
  const std::string_view valueName(name.c_str());
  // A value name is quoted on one line of the hive file, so it cannot hold a line break.
  if (valueName.find_first_of("\r\n") != std::string_view::npos) return ErrorInvalidParameter;
  const std::unique_lock<std::mutex> guard = LockRegistry();
  THive* hive = nullptr;
  std::vector<std::string> path;
  TRegistryKeyNode* node = nullptr;
  if (const std::int32_t result = ResolveKey(key, hive, path, node); result != ErrorSuccess) return result;
  if (!HiveWritable(*hive)) return ErrorAccessDenied;
  node->SetValue(valueName, type, std::move(data));
  return SaveHive(*hive);
}

}  // namespace

std::int32_t RegistrySetString(RegistryKey key, const std::string& name, const std::string& value) {
  return SetValue(key, name, RegistryString, value);
}

std::int32_t RegistrySetDword(RegistryKey key, const std::string& name, std::uint32_t value) {
  std::string data;
  for (int shift = 0; shift < 32; shift += 8) data += static_cast<char>(value >> shift & 0xFF);
  return SetValue(key, name, RegistryDword, std::move(data));
}

std::int32_t RegistryEnumKey(RegistryKey key, std::uint32_t index, std::string& name) {
  const std::unique_lock<std::mutex> guard = LockRegistry();
  THive* hive = nullptr;
  std::vector<std::string> path;
  TRegistryKeyNode* node = nullptr;
  if (const std::int32_t result = ResolveKey(key, hive, path, node); result != ErrorSuccess) return result;
  if (index >= node->SubkeyCount()) return ErrorNoMoreItems;
  name = node->Subkey(index).Name();
  return ErrorSuccess;
}

std::int32_t RegistryDeleteKey(RegistryKey parent, const std::string& name) {
  std::vector<std::string> parts;
  if (const std::int32_t result = SplitPath(name, parts); result != ErrorSuccess) return result;
  if (parts.empty()) return ErrorInvalidParameter;
  const std::unique_lock<std::mutex> guard = LockRegistry();
  THive* hive = nullptr;
  std::vector<std::string> path;
  TRegistryKeyNode* node = nullptr;
  if (const std::int32_t result = ResolveKey(parent, hive, path, node); result != ErrorSuccess) return result;
  const std::string leaf = parts.back();
  parts.pop_back();
  TRegistryKeyNode* above = FindPath(*node, parts);
  TRegistryKeyNode* target = above == nullptr ? nullptr : above->FindSubkey(leaf);
  if (target == nullptr) return ErrorFileNotFound;
  // As RegDeleteKey of Windows 9x/NT refuses a key that still has subkeys.
  if (target->SubkeyCount() > 0 || !HiveWritable(*hive)) return ErrorAccessDenied;
  above->RemoveSubkey(leaf);
  return SaveHive(*hive);
}

}  // namespace qel::platform
