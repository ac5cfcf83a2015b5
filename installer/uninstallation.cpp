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
#include "installer/setup_log.h"
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
  FManifestUnreadable = false;
  try {
    lines = ReadManifest(manifest);
  } catch (const base::EFOpenError& error) {
    FManifestUnreadable = true;
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
  FScheduled.clear();
  FTotalPercent = -1;
  const TListedPaths listed = ListPaths(FProgramFolder, lines);
  FFolderCount = listed.Folders.size();
  const std::vector<std::string> files = RemoveListedFiles(listed.Paths);
  const std::vector<std::string> stayed = RemoveCreatedFolders(listed.Folders);
  RemoveWhatStayed(files, stayed);
  const std::string manifest = FProgramFolder + ManifestName;
  // While the manifest stays, so does the uninstaller that can read it another time.
  if (platform::FileExists(manifest) ||
      (!RemoveUninstallerFile(FProgramFile) && platform::FileExists(FProgramFile))) {
    FLeft.push_back(FProgramFile);
  } else if (platform::FileExists(FProgramFile)) {
    SetupLog().Line("to be removed once the uninstaller has ended: file " + FProgramFile);
  } else {
    LogChange(TLogChange::lcRemoved, TLogObject::loFile, FProgramFile);
  }
  if (!RemoveMenuFolder()) FLeft.push_back(SuiteMenuFolder());
  FRegistrationLeft = !UnregisterSuite();
  if (FRegistrationLeft) FLeft.push_back("the entry in the list of installed programs (it needs administrator rights)");
}

std::vector<std::string> TUninstallation::RemoveListedFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    // A directory line ends in "\" and names no file: it is not worth a look at the disk.
    if (path.back() != '\\' && platform::FileExists(path)) files.push_back(path);
  }
  files.push_back(FProgramFolder + ManifestName);
  FFileCount = files.size();
  // Permanently and without asking; the shell may show its own errors, and gives up at the
  // first file it cannot delete. What it left is found by the folders that will not go.
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
    // One more look at each file only for the log: without one, the batch costs no lookups.
    if (SetupLog().Active()) {
      for (std::size_t i = first; i < end; ++i) {
        if (!platform::FileExists(files[i])) LogChange(TLogChange::lcRemoved, TLogObject::loFile, files[i]);
      }
    }
    Advance(end);
  }
  return files;
}

// Deepest first, so a folder is empty by the time its parent is tried. Returns the folders
// that are still there: they hold what the user put there, or a file the shell left.
std::vector<std::string> TUninstallation::RemoveCreatedFolders(const std::vector<std::string>& folders) {
  std::vector<std::string> stayed;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const std::string name = base::ExcludeTrailingBackslash(folders[i]);
    if (platform::RemoveDir(name)) {
      LogChange(TLogChange::lcRemoved, TLogObject::loFolder, name);
    } else if (platform::DirectoryExists(name)) {
      stayed.push_back(folders[i]);
    }
    Advance(FFileCount + i + 1);
  }
  return stayed;
}

// A removed folder held nothing, so only the files of the program folder and of the folders
// that stayed can be left: those alone are looked at again, not every file of the suite. A
// file the shell left is tried once more, a read-only one too; one still in use is handed to
// the system to delete at the next start where it allows that, and reported as left where not.
void TUninstallation::RemoveWhatStayed(const std::vector<std::string>& files, const std::vector<std::string>& stayed) {
  std::unordered_set<std::string> suspect{SeenKey(FProgramFolder)};
  for (const std::string& folder : stayed) suspect.insert(SeenKey(folder));
  for (const std::string& file : files) {
    if (!suspect.count(SeenKey(base::ExtractFilePath(file))) || !platform::FileExists(file)) continue;
    const std::uint32_t attributes = platform::FileGetAttr(file);
    if ((attributes & platform::faReadOnly) != 0) platform::FileSetAttr(file, attributes & ~platform::faReadOnly);
    if (platform::DeleteFile(file)) {
      LogChange(TLogChange::lcRemoved, TLogObject::loFile, file);
      continue;
    }
    if (platform::DeleteFileAtReboot(file)) {
      FScheduled.push_back(file);
      LogChange(TLogChange::lcScheduled, TLogObject::loFile, file);
    } else {
      SetupLog().Error("cannot remove the file " + file + ": " + platform::LastErrorText());
      FLeft.push_back(file);
    }
  }
  // Emptied now, or holding something that is not the suite's (the user's files, one left in use).
  for (const std::string& folder : stayed) {
    const std::string name = base::ExcludeTrailingBackslash(folder);
    if (platform::RemoveDir(name)) {
      LogChange(TLogChange::lcRemoved, TLogObject::loFolder, name);
    } else if (platform::LastErrorCode() != platform::ErrorDirNotEmpty && platform::DirectoryExists(name)) {
      FLeft.push_back(folder);
    }
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

TExitStatus TUninstallation::Outcome() const noexcept {
  if (FManifestUnreadable) return TExitStatus::esBadImage;
  if (FLeft.empty()) return TExitStatus::esDone;
  return FLeft.size() == 1 && FRegistrationLeft ? TExitStatus::esNoRights : TExitStatus::esWriteFailed;
}

void TUninstallation::Notify() {
  if (FLeft.empty() && FScheduled.empty()) {
    FDialogue.Tell("Uninstalling is completed.", NoticeCaption, TNoticeKind::nkInformation);
    return;
  }
  std::string scheduled;
  for (const std::string& file : FScheduled) scheduled += "\r\n" + file;
  if (FLeft.empty()) {
    FDialogue.Tell("Uninstalling is completed, except for these files, which are in use. They will be deleted when "
                   "Windows next starts:\r\n" + scheduled,
                   NoticeCaption, TNoticeKind::nkInformation);
    return;
  }
  std::string notice = "Uninstalling is not complete. These could not be removed:\r\n";
  for (const std::string& left : FLeft) notice += "\r\n" + left;
  notice += "\r\n\r\nClose any program that uses them, then delete them by hand.";
  if (!FScheduled.empty()) notice += "\r\n\r\nThese files are in use and will be deleted when Windows next starts:\r\n" + scheduled;
  FDialogue.Tell(notice, NoticeCaption, TNoticeKind::nkError);
}

}  // namespace qel::installer
