#include "installer/start_menu.h"

#include <vector>

#include "base/exceptions.h"
#include "base/format.h"
#include "installer/file_utilities.h"
#include "installer/setup_log.h"
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
  if (platform::DirectoryExists(folder)) return;
  if (platform::CreateDir(folder)) {
    LogChange(TLogChange::lcCreated, TLogObject::loFolder, folder);
    return;
  }
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
    // The suite's links, for the log: the shell takes the folder with whatever is in it.
    std::vector<std::string> links;
    if (SetupLog().Active()) {
      for (const TShortcutRow& row : SuiteShortcuts) links.push_back(folder + "\\" + row.LinkName + ".lnk");
      links.push_back(folder + "\\" + UninstallLinkName + ".lnk");
      std::erase_if(links, [](const std::string& link) { return !platform::FileExists(link); });
    }
    std::string list = folder;
    list += '\0';
    list += '\0';
    // Permanently and without asking; the shell may show its own errors.
    ShellFileOp(0, platform::foDelete, list, false, list);
    for (const std::string& link : links) {
      if (!platform::FileExists(link)) LogChange(TLogChange::lcRemoved, TLogObject::loLink, link);
    }
    if (!platform::DirectoryExists(folder)) LogChange(TLogChange::lcRemoved, TLogObject::loFolder, folder);
  }
  // Only when empty: other programs of Qel may live there.
  if (platform::RemoveDir(PublisherMenuFolder())) LogChange(TLogChange::lcRemoved, TLogObject::loFolder, PublisherMenuFolder());
  return !platform::DirectoryExists(folder);
}

}  // namespace qel::installer
