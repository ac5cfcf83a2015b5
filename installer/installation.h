// An installation of the suite: extraction of the archive into the chosen directory, then
// the Start-menu folder and shortcuts, the installer's own copy, the manifest and the
// registration, and at the end either the offer to start the main program or the news of
// what could not be extracted. The caller runs the steps in that order; each raises on
// failure. Every change to the machine is kept in a journal until the suite is in place, so
// that an installation stopped by an error (a full disk, a file or key that cannot be made)
// is undone whole: the machine is left as the installation found it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "installer/exit_status.h"
#include "installer/install_journal.h"
#include "installer/registration.h"
#include "installer/procedure_host.h"

namespace qel::archive {
class TUnZip;
}

namespace qel::installer {

class TInstallation final {
 public:
  // directory: the installation directory as the user gave it (see AcceptsDirectory).
  // programFile: the running installer's full path, the file that is copied. The archive is
  // configured by the caller (name, overwrite mode, ...) and used for this installation only.
  TInstallation(archive::TUnZip& archive, std::string directory, std::string programFile, TProgressSink& progress,
                TUserDialogue& dialogue);
  TInstallation(const TInstallation&) = delete;
  TInstallation& operator=(const TInstallation&) = delete;

  // A full path, on a drive ("C:\...") or a network share ("\\server\..."). Anything else
  // would scatter the suite wherever the program happens to run.
  static bool AcceptsDirectory(const std::string& directory);
  // Where the suite goes unless the user says otherwise: the machine's program folder
  // ("C:" when the registry names none), then "\Qel\Qel Orvane". Raises ERegistryException
  // when the registry holds that folder as something other than text.
  static std::string DefaultDirectory();
  // The settings every installation reads the image with: "image.zip" in the current
  // directory, folders re-created, every file replaced, every entry extracted.
  static void ConfigureArchive(archive::TUnZip& archive);

  // At every start, before anything else: a run that was cut short (killed, a power cut) left
  // its journal; it is rolled back now, or its commit finished, and the user is told what was
  // undone. Nothing happens when no run was cut short.
  static TInstallJournal::TRecovery RecoverInterrupted(TUserDialogue& dialogue);

  // Extracts every entry of the archive below the directory, creating it where missing, and
  // replacing what an earlier install left there, read-only files included. Progress goes
  // to the sink; an entry the archive skips or finds damaged is noted, not raised. Raises
  // what the archive raises, its errors about the archive naming the archive's file, and
  // EInOutError naming the directory when that cannot be made. After Cancel it returns
  // before the next entry instead, leaving the rollback to the caller.
  void Extract();
  // The Start-menu folder and the suite's shortcuts, the installer's copy, the manifest, the
  // uninstall shortcut and the registration. These are made also when entries were lost,
  // so that the suite can be repaired by installing again, or uninstalled. Once all are in
  // place the installation stands: nothing is undone after this.
  void PutInPlace();
  // After Extract or PutInPlace raised, or after a cancelled Extract: undoes what the
  // installation changed (files it replaced get their old content back) and tells the user
  // whether the machine is as it was, or what stayed. After an error the caller passes it on.
  void RollBack();

  // The bytes the archive's entries take once extracted; empty when the archive cannot be read
  // (the extraction then reports why). The archive is left closed, its directory read.
  static std::optional<std::uint64_t> SpaceRequired(archive::TUnZip& archive);

  // Asks a running Extract to stop: it returns before the next entry, with Cancelled() true,
  // and the caller rolls back. Safe to call from a handler the extraction lets run.
  void Cancel() noexcept { FCancelRequested = true; }
  bool Cancelled() const noexcept { return FCancelRequested; }
  // When every entry came out: asks whether to start the main program, and starts it on OK.
  // Otherwise tells the user, as an error, which entries are missing.
  void Conclude();

  // How the installation ended once PutInPlace returned: done, or with entries lost to a
  // damaged image or to files that could not be written.
  TExitStatus Outcome() const noexcept { return FLossStatus; }

  // The archive paths of the entries lost in extraction, each with the reason.
  const std::vector<std::string>& LostEntries() const noexcept { return FLost; }

 private:
  class TArchiveListener;

  std::string LossReport() const;
  // The log's lines for the folders the extraction makes: those missing from folder up are
  // noted before, and each is logged once a file below path (or path itself) is written.
  void NoteMissingFolders(std::string folder);
  void LogCreatedFolders(const std::string& path);
  void NoteLoss(const std::string& loss, TExitStatus status);
  // Journals the folders the archive's entries need below the directory, before extraction.
  void JournalEntryFolders();
  // A file of the suite that is about to be replaced: read-only ones are made writable, and
  // the old one is set aside in the journal. False when it could not be set aside.
  bool BeforeReplacing(const std::string& fileName);
  void RecordWritten(const std::string& fullName);
  // Where the journal of a run is kept: the temporary folder, found again by any later start.
  static std::string JournalFile();
  void ReplaceShortcut(const std::string& target, const std::string& linkName, const std::string& arguments);

  archive::TUnZip& FArchive;
  std::string FDirectory;   // as given: the shortcuts and the launch use it as it is
  std::string FInstallDir;  // with its closing "\": the copy, the manifest, the registry
  std::string FProgramFile;
  TProgressSink& FProgress;
  TUserDialogue& FDialogue;
  std::vector<std::string> FLost;
  std::uint64_t FExtractedBytes = 0;
  TInstallJournal FJournal;
  std::vector<std::string> FWritten;
  std::unordered_map<std::string, std::string> FNewFolders;  // upper case -> as spelt, ending in "\"  // below the directory, in the order of extraction
  TRegistrationScope FScope = TRegistrationScope::AllUsers;
  bool FCancelRequested = false;
  TExitStatus FLossStatus = TExitStatus::esDone;
};

}  // namespace qel::installer
