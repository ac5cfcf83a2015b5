#include "installer/uninstallation.h"

#include <algorithm>
#include <utility>

#include "base/exceptions.h"
#include "base/text.h"
#include "installer/file_utilities.h"
#include "installer/manifest.h"
#include "installer/registration.h"
#include "installer/start_menu.h"
#include "installer/suite.h"
#include "installer/uninstaller_copy.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace qel::installer {

namespace {

constexpr const char* NoticeCaption = "Qel Orvane!";

// A component Windows reads as "..": it drops trailing dots and spaces, so "..." and ".. "
// climb as ".." does.
bool Climbs(const std::string& component) {
  return component.find_first_not_of(". ") == std::string::npos &&
         std::count(component.begin(), component.end(), '.') >= 2;
}

// Every folder above a path below folder, up to (not including) folder itself, each ending in "\".
void AddFoldersAbove(const std::string& folder, const std::string& path, std::vector<std::string>& folders) {
  for (std::size_t end = path.find('\\', folder.size()); end != std::string::npos; end = path.find('\\', end + 1)) {
    const std::string above = path.substr(0, end + 1);
    const bool known = std::any_of(folders.begin(), folders.end(),
                                   [&](const std::string& other) { return base::SameText(other, above); });
    if (!known) folders.push_back(above);
  }
}

std::size_t Depth(const std::string& path) { return static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\')); }

}  // namespace

TUninstallation::TUninstallation(std::string programFile, TUserDialogue& dialogue)
    : FProgramFile(std::move(programFile)), FProgramFolder(base::ExtractFilePath(FProgramFile)), FDialogue(dialogue) {}

bool TUninstallation::Confirm() { return FDialogue.Ask("You really want to remove Qel Orvane?"); }

bool TUninstallation::PathBelow(const std::string& folder, const std::string& line, std::string& path) {
  std::string relative = line;
  std::replace(relative.begin(), relative.end(), '/', '\\');
  if (relative.empty() || relative.front() == '\\' || relative.find(':') != std::string::npos) return false;
  for (std::size_t start = 0; start <= relative.size();) {
    const std::size_t end = std::min(relative.find('\\', start), relative.size());
    if (Climbs(relative.substr(start, end - start))) return false;
    start = end + 1;
  }
  // What the file system will make of it must still lie below the folder.
  path = platform::ExpandFileName(folder + relative);
  return path.size() > folder.size() && base::SameText(path.substr(0, folder.size()), folder);
}

void TUninstallation::Run() {
  const std::string manifest = FProgramFolder + ManifestName;
  std::vector<std::string> lines;
  try {
    lines = ReadManifest(manifest);
  } catch (const base::EFOpenError& error) {
    FDialogue.Tell("Qel Orvane was not removed: the list of its files cannot be read.\r\n" + std::string(error.what()) +
                       "\r\n\r\nNothing was changed; Qel Orvane stays in " + FProgramFolder + ".",
                   NoticeCaption, TNoticeKind::nkError);
    return;
  }
  try {
    Remove(lines);
  } catch (...) {
    FDialogue.Tell("Uninstalling was stopped by an error. Parts of Qel Orvane may be left in " + FProgramFolder +
                       " and in the Start menu.",
                   NoticeCaption, TNoticeKind::nkError);
    throw;
  }
  Notify();
}

void TUninstallation::Remove(const std::vector<std::string>& lines) {
  FLeft.clear();
  std::vector<std::string> paths;
  for (const std::string& line : lines) {
    std::string path;
    if (PathBelow(FProgramFolder, line, path)) paths.push_back(path);
  }
  RemoveListedFiles(paths);
  RemoveCreatedFolders(paths);
  const std::string manifest = FProgramFolder + ManifestName;
  // While the manifest stays, so does the uninstaller that can read it another time.
  if (platform::FileExists(manifest) ||
      (!RemoveUninstallerFile(FProgramFile) && platform::FileExists(FProgramFile))) {
    FLeft.push_back(FProgramFile);
  }
  if (!RemoveMenuFolder()) FLeft.push_back(SuiteMenuFolder());
  if (!UnregisterSuite()) FLeft.push_back("the entry in the list of installed programs (it needs administrator rights)");
}

void TUninstallation::RemoveListedFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  std::string deleteList;
  for (const std::string& path : paths) {
    if (!platform::FileExists(path)) continue;
    files.push_back(path);
    deleteList += path + '\0';
  }
  const std::string manifest = FProgramFolder + ManifestName;
  files.push_back(manifest);
  deleteList += manifest + '\0';
  deleteList += '\0';
  // Permanently and without asking; the shell may show its own errors. The shell gives up
  // at the first file it cannot delete, so what it left is tried once more one by one, a
  // read-only file too; what stays after that is reported, whatever the shell said.
  ShellFileOp(0, platform::foDelete, deleteList, false, deleteList);
  for (const std::string& file : files) {
    if (!platform::FileExists(file)) continue;
    const std::uint32_t attributes = platform::FileGetAttr(file);
    if ((attributes & platform::faReadOnly) != 0) platform::FileSetAttr(file, attributes & ~platform::faReadOnly);
    if (!platform::DeleteFile(file)) FLeft.push_back(file);
  }
}

// Deepest first, so a folder is empty by the time its parent is tried. A folder that still
// holds something holds what the user put there, or a file already reported.
void TUninstallation::RemoveCreatedFolders(const std::vector<std::string>& paths) {
  std::vector<std::string> folders;
  for (const std::string& path : paths) AddFoldersAbove(FProgramFolder, path, folders);
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  for (const std::string& folder : folders) {
    const std::string name = base::ExcludeTrailingBackslash(folder);
    if (!platform::DirectoryExists(name) || platform::RemoveDir(name)) continue;
    if (platform::LastErrorCode() != platform::ErrorDirNotEmpty) FLeft.push_back(folder);
  }
}

void TUninstallation::Notify() {
  if (FLeft.empty()) {
    FDialogue.Tell("Uninstalling is completed.", NoticeCaption, TNoticeKind::nkInformation);
    return;
  }
  std::string notice = "Uninstalling is not complete. These could not be removed:\r\n";
  for (const std::string& left : FLeft) notice += "\r\n" + left;
  FDialogue.Tell(notice + "\r\n\r\nClose any program that uses them, then delete them by hand.", NoticeCaption,
                 TNoticeKind::nkError);
}

}  // namespace qel::installer
