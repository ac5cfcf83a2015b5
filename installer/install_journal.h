// What an installation changed on the machine, so that one stopped by an error, a kill or a
// power cut can be undone: the folders it made, the files it wrote (a file it replaced is first
// set aside, and put back), and the registry entries it changed. Undone in the reverse order of
// the changes; committed, the set-aside files are deleted and nothing is left to undo.
//
// Kept in a file as typed records, one a line, each written (and, where a user's file is at
// stake, forced to the disk) before its step is taken. A run that never reached its commit
// leaves the file behind; the next start of the program finds it (Recover) and rolls that run
// back before it does anything else, or, when the commit record made it, finishes the commit.
// Every undo can be done again: a rollback that is itself cut short is simply run once more.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "platform/files.h"

namespace qel::installer {

class TInstallJournal final {
 public:
  // journalFile: where the records go; empty keeps them in memory only (tests of one step).
  explicit TInstallJournal(std::string journalFile = {});
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
  // Before the registry is changed: what names the change in a report, and the state to put
  // back on undo (the text SaveRegistrationState gives).
  void BeforeRegistryChange(const std::string& what, const std::string& savedState);

  bool Empty() const noexcept { return FRecords.empty(); }
  // The changes stay: the set-aside files are deleted, and the journal's file with them.
  void Commit();
  // Undoes every change, the last first. Returns what could not be undone; the journal's file
  // goes only when everything was.
  std::vector<std::string> RollBack();

  // What the next start found of a run that was cut short.
  struct TRecovery {
    bool Found = false;                // there was a journal
    bool Committed = false;            // its run had committed: only the clean-up was finished
    bool InUse = false;                // another run holds it: left alone
    std::vector<std::string> Left;     // what its rollback could not undo
  };
  // Finishes or rolls back the run whose journal is journalFile, if there is one.
  static TRecovery Recover(const std::string& journalFile);

 private:
  enum class TStep : char {
    Folder = 'D',       // Path: a folder made by the run
    Created = 'F',      // Path: a file made by the run
    Replaced = 'R',     // Path: a file replaced; Aside: where the old one waits
    AsideFolder = 'A',  // Path: the journal's own folder for set-aside files
    Registry = 'K',     // Path: what names it; Aside: the state before (saved text, hex)
  };
  struct TRecord {
    TStep Step;
    std::string Path;
    std::string Aside;
  };
  static constexpr char CommitMark = 'C';

  void Record(TRecord record, bool forceToDisk = false);
  void WriteLine(const std::string& line, bool forceToDisk);
  void CloseFile(bool remove);
  std::string SetAsideFolder(const std::string& folder);
  static bool Undo(const TRecord& record);
  static void LogUndo(const TRecord& record);
  static bool Stayed(const TRecord& record);
  static bool Finish(const TRecord& record);
  static std::string Line(const TRecord& record);
  static bool Parse(const std::string& line, TRecord& record);

  std::string FJournalFile;
  platform::FileHandle FFile = platform::InvalidFileHandle;
  std::vector<TRecord> FRecords;
  std::vector<std::pair<std::string, std::string>> FSetAsideFolders;  // folder, its set-aside folder
  unsigned FSetAsideCount = 0;
  std::unordered_set<std::string> FFoldersToMake;  // recorded by BeforeFolder, in upper case
};

}  // namespace qel::installer
