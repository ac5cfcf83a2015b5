#include "installer/install_journal.h"

#include <utility>

#include "base/text.h"
#include "platform/files.h"

namespace qel::installer {

namespace {

// Set-aside files wait in a folder of the journal's own beside them: a move within one folder
// tree needs no room on the disk, and names the journal numbers itself cannot be the name of
// an archive entry that the same run writes.
constexpr const char* SetAsideFolderName = "~qel-setup-old";

// Deletes a file, read-only or not; true when it is gone.
bool Remove(const std::string& file) {
  const std::uint32_t attributes = platform::FileGetAttr(file);
  if (attributes == platform::InvalidFileAttributes) return true;
  if ((attributes & platform::faReadOnly) != 0) platform::FileSetAttr(file, attributes & ~platform::faReadOnly);
  return platform::DeleteFile(file) || !platform::FileExists(file);
}

}  // namespace

TInstallJournal::~TInstallJournal() {
  try {
    RollBack();
  } catch (...) {
    // Undoing is a best effort once nobody is left to hear about it.
  }
}

void TInstallJournal::BeforeFolder(const std::string& folder) {
  std::vector<std::string> missing;
  for (std::string level = base::ExcludeTrailingBackslash(platform::ExpandFileName(folder));
       !level.empty() && !platform::DirectoryExists(level); level = base::ExtractFileDir(level)) {
    missing.push_back(level);
    if (base::ExtractFileDir(level) == level) break;  // a root that does not exist
  }
  // The outermost first, so that undo, which goes backwards, empties the deepest first.
  for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
    const std::string name = *level;
    Changed(name + "\\", [name] { return platform::RemoveDir(name) || !platform::DirectoryExists(name); });
  }
}

std::string TInstallJournal::SetAsideFolder(const std::string& folder) {
  for (const auto& [known, aside] : FSetAsideFolders) {
    if (base::SameText(known, folder)) return aside;
  }
  // A folder that exists already belongs to someone else (or to a run that was stopped).
  std::string aside = folder + "\\" + SetAsideFolderName;
  for (int number = 2; platform::FileGetAttr(aside) != platform::InvalidFileAttributes; ++number) {
    aside = folder + "\\" + SetAsideFolderName + "." + std::to_string(number);
  }
  if (!platform::CreateDir(aside)) return std::string();
  // Journalled before the files that go into it, so an undo empties it first and removes it.
  Changed(aside + "\\", [aside] { return platform::RemoveDir(aside) || !platform::DirectoryExists(aside); });
  FChanges.back().Commit = [aside] { platform::RemoveDir(aside); };
  FSetAsideFolders.emplace_back(folder, aside);
  return aside;
}

bool TInstallJournal::BeforeFile(const std::string& file) {
  const std::uint32_t attributes = platform::FileGetAttr(file);
  if (attributes == platform::InvalidFileAttributes) {
    Created(file);
    return true;
  }
  if ((attributes & platform::faDirectory) != 0) return true;  // the write will fail on its own
  const std::string folder = SetAsideFolder(base::ExtractFileDir(platform::ExpandFileName(file)));
  if (folder.empty()) return false;
  const std::string aside = folder + "\\" + std::to_string(++FSetAsideCount);
  if (!platform::RenameFile(file, aside)) return false;
  TChange change;
  change.What = file;
  change.Undo = [file, aside] { return Remove(file) && platform::RenameFile(aside, file); };
  change.Commit = [aside] { Remove(aside); };
  change.SetAside = aside;
  FChanges.push_back(std::move(change));
  return true;
}

bool TInstallJournal::PutBack(const std::string& file) {
  for (auto change = FChanges.rbegin(); change != FChanges.rend(); ++change) {
    if (change->SetAside.empty() || !base::SameText(change->What, file)) continue;
    if (!change->Undo()) return false;
    FChanges.erase(std::next(change).base());
    return true;
  }
  return true;
}

void TInstallJournal::Created(const std::string& file) {
  Changed(file, [file] { return Remove(file); });
}

void TInstallJournal::Changed(std::string what, std::function<bool()> undo) {
  FChanges.push_back({std::move(what), std::move(undo), {}, {}});
}

void TInstallJournal::Commit() {
  // The last first: the set-aside files go before the folder that holds them.
  for (auto change = FChanges.rbegin(); change != FChanges.rend(); ++change) {
    if (change->Commit) change->Commit();
  }
  FChanges.clear();
  FSetAsideFolders.clear();
}

std::vector<std::string> TInstallJournal::RollBack() {
  std::vector<std::string> left;
  for (auto change = FChanges.rbegin(); change != FChanges.rend(); ++change) {
    bool undone = false;
    try {
      undone = change->Undo();
    } catch (...) {
      undone = false;
    }
    if (!undone) left.push_back(change->What);
  }
  FChanges.clear();
  FSetAsideFolders.clear();
  return left;
}

}  // namespace qel::installer
