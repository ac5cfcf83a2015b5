#include "installer/uninstallation.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
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
constexpr std::size_t PercentSteps = 100;
// The files go to the shell in batches of a hundredth of them, so the progress moves a percent at
// a time; a short list in few batches all the same, since each call costs a start of its own.
constexpr std::size_t MinimumBatch = 64;

// A component Windows reads as "..": it drops trailing dots and spaces, so "..." and ".. "
// climb as ".." does.
bool Climbs(const std::string& component) {
  return component.find_first_not_of(". ") == std::string::npos &&
         std::count(component.begin(), component.end(), '.') >= 2;
}

// A path as a set of those seen holds it: names compare without regard to case, as the file
// system does.
std::string SeenKey(const std::string& path) { return base::UpperCase(path); }

std::size_t Depth(const std::string& path) {
  return static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\'));
}

// What the manifest names below folder, each once: the lines as full paths, and every folder
// above them (a directory line names one itself), up to but not including folder, each ending
// in "\", deepest first. Sets, not searches, so the time grows with the lines alone.
struct TListedPaths {
  std::vector<std::string> Paths;
  std::vector<std::string> Folders;
};

TListedPaths ListPaths(const std::string& folder, const std::vector<std::string>& lines) {
  TListedPaths listed;
  std::unordered_set<std::string> seenPaths;
  std::unordered_set<std::string> seenFolders;
  for (const std::string& line : lines) {
    std::string path;
    if (!TUninstallation::PathBelow(folder, line, path) || !seenPaths.insert(SeenKey(path)).second) continue;
    for (std::size_t end = path.find('\\', folder.size()); end != std::string::npos; end = path.find('\\', end + 1)) {
      std::string above = path.substr(0, end + 1);
      if (seenFolders.insert(SeenKey(above)).second) listed.Folders.push_back(std::move(above));
    }
    listed.Paths.push_back(std::move(path));
  }
  // Deepest first, so a folder is empty by the time its parent is tried.
  std::stable_sort(listed.Folders.begin(), listed.Folders.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  return listed;
}

std::int32_t Percent(std::size_t done, std::size_t total) {
  return total == 0 ? static_cast<std::int32_t>(PercentSteps) : static_cast<std::int32_t>(done * PercentSteps / total);
}

std::int32_t AsCount(std::size_t count) {
  return static_cast<std::int32_t>(std::min<std::size_t>(count, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

TUninstallation::TUninstallation(std::string programFile, TUserDialogue& dialogue, TProgressSink* progress)
    : FProgramFile(std::move(programFile)),
      FProgramFolder(base::ExtractFilePath(FProgramFile)),
      FDialogue(dialogue),
      FProgress(progress) {}

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
  FTotalPercent = -1;
  const TListedPaths listed = ListPaths(FProgramFolder, lines);
  FFolderCount = listed.Folders.size();
  RemoveListedFiles(listed.Paths);
  RemoveCreatedFolders(listed.Folders);
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
  for (const std::string& path : paths) {
    // A directory line ends in "\" and names no file: it is not worth a look at the disk.
    if (path.back() != '\\' && platform::FileExists(path)) files.push_back(path);
  }
  files.push_back(FProgramFolder + ManifestName);
  FFileCount = files.size();
  // Permanently and without asking; the shell may show its own errors. The shell gives up
  // at the first file it cannot delete, so what it left is tried once more one by one, a
  // read-only file too; what stays after that is reported, whatever the shell said. The
  // retry waits for the last batch: a folder is then looked at once, not after every batch
  // that changed it.
  const std::size_t batch = std::max(MinimumBatch, (files.size() + PercentSteps - 1) / PercentSteps);
  for (std::size_t first = 0; first < files.size(); first += batch) {
    const std::size_t end = std::min(first + batch, files.size());
    if (FProgress != nullptr) {
      FProgress->FileStarted(files[first].substr(FProgramFolder.size()), AsCount(first + 1), AsCount(files.size()));
    }
    std::string deleteList;
    for (std::size_t i = first; i < end; ++i) deleteList += files[i] + '\0';
    deleteList += '\0';
    ShellFileOp(0, platform::foDelete, deleteList, false, deleteList);
    Advance(end);
  }
  for (const std::string& file : files) {
    if (!platform::FileExists(file)) continue;
    const std::uint32_t attributes = platform::FileGetAttr(file);
    if ((attributes & platform::faReadOnly) != 0) platform::FileSetAttr(file, attributes & ~platform::faReadOnly);
    if (!platform::DeleteFile(file)) FLeft.push_back(file);
  }
}

// A folder that still holds something holds what the user put there, or a file already reported.
void TUninstallation::RemoveCreatedFolders(const std::vector<std::string>& folders) {
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const std::string name = base::ExcludeTrailingBackslash(folders[i]);
    if (platform::DirectoryExists(name) && !platform::RemoveDir(name) &&
        platform::LastErrorCode() != platform::ErrorDirNotEmpty) {
      FLeft.push_back(folders[i]);
    }
    Advance(FFileCount + i + 1);
  }
}

// Told only when the whole moves a percent: thousands of folders go in a blink each.
void TUninstallation::Advance(std::size_t done) {
  if (FProgress == nullptr) return;
  const std::int32_t total = Percent(done, FFileCount + FFolderCount);
  if (total == FTotalPercent) return;
  FTotalPercent = total;
  FProgress->FilePercentDone(Percent(std::min(done, FFileCount), FFileCount));
  FProgress->TotalPercentDone(total);
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
