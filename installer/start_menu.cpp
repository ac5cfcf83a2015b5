#include "installer/start_menu.h"

#include "base/exceptions.h"
#include "base/format.h"
#include "installer/file_utilities.h"
#include "installer/suite.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace qel::installer {

namespace {

std::string PublisherMenuFolder() {
  std::string programs;
  if (!platform::GetProgramsFolder(programs)) programs = FallbackProgramsFolder;
  return programs + "\\" + PublisherFolder;
}

// One level, as the shell's folders are made; the error carries the system's code.
void EnsureFolder(const std::string& folder) {
  if (platform::DirectoryExists(folder) || platform::CreateDir(folder)) return;
  const auto code = static_cast<int>(platform::LastErrorCode());
  throw base::EInOutError(
      base::Format("Cannot create the folder \"%s\". %s (error %d)", {folder, platform::LastErrorText(), code}), code);
}

}  // namespace

std::string SuiteMenuFolder() { return PublisherMenuFolder() + "\\" + SuiteName; }

std::string CreateMenuFolder() {
  EnsureFolder(PublisherMenuFolder());
  const std::string folder = SuiteMenuFolder();
  EnsureFolder(folder);
  return folder;
}

bool RemoveMenuFolder() {
  const std::string folder = SuiteMenuFolder();
  if (platform::DirectoryExists(folder)) {
    std::string list = folder;
    list += '\0';
    list += '\0';
    // Permanently and without asking; the shell may show its own errors.
    ShellFileOp(0, platform::foDelete, list, false, list);
  }
  platform::RemoveDir(PublisherMenuFolder());  // only when empty: other programs of Qel may live there
  return !platform::DirectoryExists(folder);
}

}  // namespace qel::installer
