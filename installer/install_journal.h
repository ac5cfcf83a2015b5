// What an installation changed on the machine, so that one stopped by an error can be undone:
// the files it wrote (a file it replaced is first set aside, and put back), the
// folders it made, and any other change a step registers with an undo of its own (the registry
// entries). Undone in the reverse order of the changes; committed, the set-aside files are
// deleted and nothing is left to undo. The journal lives in memory, for one run: a setup that
// is killed midway is repaired by running it again, which replaces whatever it finds.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qel::installer {

class TInstallJournal final {
 public:
  TInstallJournal() = default;
  // Undoes what was not committed, as RollBack does, telling no one.
  ~TInstallJournal();
  TInstallJournal(const TInstallJournal&) = delete;
  TInstallJournal& operator=(const TInstallJournal&) = delete;

  // Before the folder (a full path) and the levels above it are made: those that do not exist
  // yet are removed again on undo, once empty.
  void BeforeFolder(const std::string& folder);
  // Before file is written: an existing file is moved aside, into a folder of the journal's
  // own beside it (no name an archive entry could have), to be put back on undo; the new file
  // is deleted on undo. False when an existing file could not be set aside: the caller's write
  // then replaces it for good.
  bool BeforeFile(const std::string& file);
  // The write announced by BeforeFile did not happen after all (the entry was damaged): the
  // file set aside for it, if any, is put back now, so a commit keeps it. False when a copy
  // could not be put back; it then stays set aside and a rollback tries again.
  bool PutBack(const std::string& file);
  // A file made under a name of its callee's choosing, deleted on undo.
  void Created(const std::string& file);
  // Any other change: undo is called on rollback and says whether it put everything back;
  // what names the change in the report of what stayed.
  void Changed(std::string what, std::function<bool()> undo);

  bool Empty() const noexcept { return FChanges.empty(); }
  // The changes stay: the set-aside files are deleted.
  void Commit();
  // Undoes every change, the last first. Returns what could not be undone.
  std::vector<std::string> RollBack();

 private:
  struct TChange {
    std::string What;
    std::function<bool()> Undo;
    std::function<void()> Commit;  // empty for most
    std::string SetAside;          // where the old file of a replaced one waits
  };
  // The journal's folder for set-aside files beside folder, made (and journalled) on first use.
  std::string SetAsideFolder(const std::string& folder);

  std::vector<TChange> FChanges;
  std::vector<std::pair<std::string, std::string>> FSetAsideFolders;  // folder, its set-aside folder
  unsigned FSetAsideCount = 0;
};

}  // namespace qel::installer
