// Drive types and volume labels of the sandbox's drives.
#include <sys/stat.h>

#include <cctype>
#include <fstream>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/posix/sandbox.h"

namespace qel::platform {

namespace {

// The drive letter of a root such as "A:\" or "a:", upper case, or 0.
char DriveLetterOf(const std::string& root) {
  const std::string name = root.empty() ? posix::CurrentDirectory() : root;
  if (name.size() < 2 || name[1] != ':' || !std::isalpha(static_cast<unsigned char>(name[0]))) return 0;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
}

// A file of the sandbox named after a drive letter, in upper or lower case.
std::string SandboxFileOf(const std::string& folder, char letter) {
  const std::string base = posix::Sandbox().Root + "/" + folder + "/";
  for (char c : {letter, static_cast<char>(std::tolower(static_cast<unsigned char>(letter)))}) {
    const std::string path = base + c;
    if (std::ifstream(path).good()) return path;
  }
  return {};
}

}  // namespace

std::int64_t posix::DriveCapacity(char letter) {
  // Z: is the host's own file system, whose room is the host's to limit.
  if (letter == 'Z' || letter == 'z') return -1;
  // Every open asks; a sandbox without limits answers with one look.
  struct stat info {};
  if (stat((posix::Sandbox().Root + "/capacity").c_str(), &info) != 0) return -1;
  const std::string capacityFile = SandboxFileOf("capacity", letter);
  if (capacityFile.empty()) return -1;
  std::ifstream input(capacityFile);
  std::int64_t capacity = -1;
  input >> capacity;
  return input ? capacity : -1;
}

TDriveType GetDriveType(const std::string& root) {
  const char letter = DriveLetterOf(root);
  if (letter == 0 || posix::DriveHostRoot(letter).empty()) return TDriveType::dtNoRootDir;
  if (letter != 'Z' && !SandboxFileOf("removable", letter).empty()) return TDriveType::dtRemovable;
  return TDriveType::dtFixed;
}

std::string GetVolumeLabel(const std::string& root) {
  const char letter = DriveLetterOf(root);
  if (letter == 0 || posix::DriveHostRoot(letter).empty()) return {};
  const std::string labelFile = SandboxFileOf("labels", letter);
  if (labelFile.empty()) return {};
  std::ifstream input(labelFile);
  std::string label;
  std::getline(input, label);
  if (!label.empty() && label.back() == '\r') label.pop_back();
  return label;
}

}  // namespace qel::platform
