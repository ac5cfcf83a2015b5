#include "installer/install_journal.h"

#include <utility>

#include "base/text.h"
#include "platform/files.h"

namespace qel::installer {

namespace {

// A set-aside file keeps its folder, so renaming it there needs no room on the disk.
constexpr const char* SetAsideSuffix = ".qel-setup-old";

std::string FreeSetAsideName(const std::string& file) {
  std::string name = file + SetAsideSuffix;
  for (int number = 2; platform::FileGetAttr(name) != platform::InvalidFileAttributes; ++number) {
    name = file + SetAsideSuffix + std::to_string(number);
  }
  return name;
}

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

bool TInstallJournal::BeforeFile(const std::string& file) {
  const std::uint32_t attributes = platform::FileGetAttr(file);
  if (attributes == platform::InvalidFileAttributes) {
    Created(file);
    return true;
  }
  if ((attributes & platform::faDirectory) != 0) return true;  // the write will fail on its own
  const std::string aside = FreeSetAsideName(file);
  if (!platform::RenameFile(file, aside)) return false;
  TChange change;
  change.What = file;
  change.Undo = [file, aside] { return Remove(file) && platform::RenameFile(aside, file); };
  change.Commit = [aside] { Remove(aside); };
  FChanges.push_back(std::move(change));
  return true;
}

void TInstallJournal::Created(const std::string& file) {
  Changed(file, [file] { return Remove(file); });
}

void TInstallJournal::Changed(std::string what, std::function<bool()> undo) {
  FChanges.push_back({std::move(what), std::move(undo), {}});
}

void TInstallJournal::Commit() {
  for (const TChange& change : FChanges) {
    if (change.Commit) change.Commit();
  }
  FChanges.clear();
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
  return left;
}

}  // namespace qel::installer
