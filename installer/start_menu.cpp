#include "installer/start_menu.h"

#include "base/exceptions.h"
#include "base/format.h"
#include "installer/registry_cursor.h"
#include "installer/suite.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace qel::installer {

namespace {

// One level, as the shell's folders are made; the error carries the system's code.
void EnsureFolder(const std::string& folder) {
  if (platform::DirectoryExists(folder) || platform::CreateDir(folder)) return;
  const auto code = static_cast<int>(platform::LastErrorCode());
  throw base::EInOutError(
      base::Format("Cannot create the folder \"%s\". %s (error %d)", {folder, platform::LastErrorText(), code}), code);
}

}  // namespace

std::string CreateMenuFolder() {
  std::string programs;
  std::string folder =
      platform::GetProgramsFolder(programs) ? programs + "\\" + PublisherFolder : FallbackProgramsFolder;
  EnsureFolder(folder);
  folder += std::string("\\") + SuiteName;
  EnsureFolder(folder);
  return folder;
}

std::string MenuFolderToRemove() {
  TRegistryCursor registry;
  // Below the per-user "Software" there is normally no "SOFTWARE": that step fails and the
  // walk goes on from where it stands.
  for (const char* key : {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "Explorer"}) {
    registry.OpenKey(key, false);
  }
  return registry.ReadString("Shell Folders", "Programs", FallbackProgramsFolder) + "\\" + PublisherFolder + "\\" +
         SuiteName;
}

}  // namespace qel::installer
