#include "installer/installation.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <type_traits>
#include <unordered_set>
#include <utility>

#include "archive/unzip.h"
#include "archive/unzip_errors.h"
#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"
#include "installer/file_utilities.h"
#include "installer/manifest.h"
#include "installer/registry_cursor.h"
#include "installer/registration.h"
#include "installer/shortcut.h"
#include "installer/setup_log.h"
#include "installer/start_menu.h"
#include "installer/suite.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/unix_files.h"

namespace qel::installer {

namespace {

// A report names this many lost entries and counts the rest: a message box must fit the screen.
constexpr std::size_t ReportedLosses = 10;
constexpr std::uint64_t BytesPerKB = 1024;

// A file of an earlier install may be read-only; a repair replaces it all the same.
void MakeReplaceable(const std::string& fileName) {
  const std::uint32_t attributes = platform::FileGetAttr(fileName);
  if (attributes == platform::InvalidFileAttributes || (attributes & platform::faDirectory) != 0) return;
  if ((attributes & platform::faReadOnly) != 0) platform::FileSetAttr(fileName, attributes & ~platform::faReadOnly);
}

// Every missing level; the error names the folder as the user gave it.
void MakeFolder(const std::string& folder) {
  if (platform::ForceDirectories(folder)) return;
  const auto code = static_cast<int>(platform::LastErrorCode());
  throw base::EInOutError(base::Format("Cannot create the folder \"%s\". %s", {folder, platform::LastErrorText()}),
                          code);
}

std::string ArchiveErrorText(const std::string& zipName, const base::Exception& error) {
  return base::Format("Cannot read the archive \"%s\". %s", {platform::ExpandFileName(zipName), error.Message()});
}

template <class TSize>
std::uint64_t ByteCount(TSize size) {
  // A size field read as signed holds sizes of 2 GB and more as negative numbers.
  return static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<TSize>>(size));
}

}  // namespace

// Thrown through the archive from an event to end a cancelled extraction; no error, so
// deliberately no Exception either, which the archive's callers might report.
struct TCancelled {};

// Binds the archive's events to the installation for one extraction, and gives the archive
// its own handlers back afterwards, however the extraction ends.
class TInstallation::TArchiveListener final {
 public:
  TArchiveListener(TInstallation& installation, archive::TUnZip& archive)
      : FInstallation(installation), FArchive(archive), FSaved(Handlers(archive)) {
    archive.OnStartUnZipInfo = [this](base::TObject&, std::int32_t count, std::int64_t, bool&) { FAnnounced = count; };
    archive.OnStartUnZip = [this](base::TObject&, std::int32_t index, const std::string& name, bool& skip) {
      // Before the entry's file is made: a cancelled copy stops with nothing half written.
      if (FInstallation.FCancelRequested) throw TCancelled{};
      if (!FArchive.Filename(index).empty()) {
        // A file that cannot be set aside (a name too long for the journal's folder) could not
        // be put back by an undo: it is not replaced, and the entry is reported.
        FReplacing = platform::FileExists(name);
        if (!FInstallation.FJournal.BeforeFile(name)) {
          skip = Refuse(index, "the file there could not be set aside, so it was left as it was");
          return;
        }
        FStartedName = {index, name};
      }
      FInstallation.RecordWritten(name);
      FInstallation.FProgress.FileStarted(EntryPath(index), ++FStarted, FAnnounced);
    };
    archive.OnFilePercentDone = [this](base::TObject&, std::int32_t percent) {
      FInstallation.FProgress.FilePercentDone(percent);
    };
    archive.OnTotalPercentDone = [this](base::TObject&, std::int32_t percent) {
      FInstallation.FProgress.TotalPercentDone(percent);
    };
    archive.OnEndUnZip = [this](base::TObject&, std::int32_t index, const std::string& name) {
      FInstallation.FExtractedBytes += ByteCount(FArchive.Entry(index).UncompressedSize);
      FInstallation.LogCreatedFolders(name);
      if (!FArchive.Filename(index).empty()) {
        LogChange(FReplacing ? TLogChange::lcReplaced : TLogChange::lcCreated, TLogObject::loFile, name);
      }
    };
    archive.OnSkippingFile = [this](base::TObject&, archive::TSkipReason reason, std::int32_t index) {
      // A file the system refused is the machine's trouble; any other loss is the image's.
      Lose(index, archive::SkipReasonText(reason),
           reason == archive::TSkipReason::srCannotCreate ? TExitStatus::esWriteFailed : TExitStatus::esBadImage);
    };
    archive.OnBadCRC = [this](base::TObject&, std::int32_t, std::int32_t, std::int32_t index) {
      Lose(index, "damaged (CRC error)", TExitStatus::esBadImage);
    };
  }
  ~TArchiveListener() { Restore(FArchive, std::move(FSaved)); }
  TArchiveListener(const TArchiveListener&) = delete;
  TArchiveListener& operator=(const TArchiveListener&) = delete;

  // The archive counts as extracted what it announced less what it lost; entries it lost
  // without telling why are counted all the same.
  void Settle(std::int32_t extracted) {
    const std::int64_t unexplained =
        static_cast<std::int64_t>(FAnnounced) - extracted - static_cast<std::int64_t>(FLosses);
    if (unexplained > 0) {
      FInstallation.FLost.push_back(base::IntToStr(unexplained) + (unexplained == 1 ? " more entry" : " more entries") +
                                    ": not extracted");
      FInstallation.NoteLoss(FInstallation.FLost.back(), TExitStatus::esBadImage);
    }
  }

 private:
  struct THandlers {
    archive::TStartUnzipInfo StartUnZipInfo;
    archive::TStartUnZipEvent StartUnZip;
    archive::TFilePercentDone FilePercentDone;
    archive::TTotalPercentDone TotalPercentDone;
    archive::TEndUnZipEvent EndUnZip;
    archive::TSkippingFile SkippingFile;
    archive::TBadCRC BadCRC;
  };
  static THandlers Handlers(const archive::TUnZip& archive) {
    return {archive.OnStartUnZipInfo, archive.OnStartUnZip, archive.OnFilePercentDone, archive.OnTotalPercentDone,
            archive.OnEndUnZip,       archive.OnSkippingFile, archive.OnBadCRC};
  }
  static void Restore(archive::TUnZip& archive, THandlers handlers) {
    archive.OnStartUnZipInfo = std::move(handlers.StartUnZipInfo);
    archive.OnStartUnZip = std::move(handlers.StartUnZip);
    archive.OnFilePercentDone = std::move(handlers.FilePercentDone);
    archive.OnTotalPercentDone = std::move(handlers.TotalPercentDone);
    archive.OnEndUnZip = std::move(handlers.EndUnZip);
    archive.OnSkippingFile = std::move(handlers.SkippingFile);
    archive.OnBadCRC = std::move(handlers.BadCRC);
  }

  std::string EntryPath(std::int32_t index) const { return FArchive.Pathname(index) + FArchive.Filename(index); }
  // An entry left out at its start: counted through as the others are, and reported. True, for
  // the event's skip.
  bool Refuse(std::int32_t index, const std::string& reason) {
    FInstallation.FProgress.FileStarted(EntryPath(index), ++FStarted, FAnnounced);
    Lose(index, reason, TExitStatus::esWriteFailed);
    return true;
  }

  // A lost entry wrote nothing: the working file an earlier install left there, set aside
  // for it, goes back at once, so a repair from a damaged image never costs a file that worked.
  void Lose(std::int32_t index, const std::string& reason, TExitStatus status) {
    ++FLosses;
    FInstallation.FLost.push_back(EntryPath(index) + ": " + reason);
    FInstallation.NoteLoss(FInstallation.FLost.back(), status);
    if (FStartedName.first == index) FInstallation.FJournal.PutBack(FStartedName.second);
  }

  TInstallation& FInstallation;
  archive::TUnZip& FArchive;
  THandlers FSaved;
  std::pair<std::int32_t, std::string> FStartedName{-1, {}};  // the entry in hand and its file
  bool FReplacing = false;  // the entry in hand replaces a file
  std::int32_t FAnnounced = 0;
  std::int32_t FStarted = 0;
  std::size_t FLosses = 0;
};

TInstallation::TInstallation(archive::TUnZip& archive, std::string directory, std::string programFile,
                             TProgressSink& progress, TUserDialogue& dialogue)
    : FArchive(archive),
      FDirectory(std::move(directory)),
      FInstallDir(base::IncludeTrailingBackslash(FDirectory)),
      FProgramFile(std::move(programFile)),
      FProgress(progress),
      FDialogue(dialogue),
      FJournal(JournalFile()) {}

std::string TInstallation::JournalFile() {
  const std::string folder = platform::TemporaryFolder();
  return folder.empty() ? std::string() : folder + JournalFileName;
}

TInstallJournal::TRecovery TInstallation::RecoverInterrupted(TUserDialogue& dialogue) {
  const TInstallJournal::TRecovery recovery = TInstallJournal::Recover(JournalFile());
  if (!recovery.Found || recovery.Committed) return recovery;
  if (recovery.Left.empty()) {
    dialogue.Tell("An earlier installation of Qel Orvane was stopped before it ended. Everything it had changed "
                  "has been undone.",
                  SuiteName, TNoticeKind::nkInformation);
    return recovery;
  }
  std::string notice = "An earlier installation of Qel Orvane was stopped before it ended. What it had changed "
                       "has been undone, except for:\r\n";
  for (std::size_t i = 0; i < std::min(recovery.Left.size(), ReportedLosses); ++i) notice += "\r\n" + recovery.Left[i];
  if (recovery.Left.size() > ReportedLosses) {
    notice += "\r\n... and " + base::IntToStr(static_cast<std::int64_t>(recovery.Left.size() - ReportedLosses)) + " more";
  }
  dialogue.Tell(notice + "\r\n\r\nThe next start of the setup tries again.", SuiteName, TNoticeKind::nkError);
  return recovery;
}

std::string TInstallation::DefaultDirectory() {
  TRegistryCursor registry;
  registry.SetRootKey(platform::RegistryLocalMachine);
  registry.OpenKey("SOFTWARE", false);
  registry.OpenKey("Microsoft", false);
  registry.OpenKey("Windows", false);
  return registry.ReadString("CurrentVersion", "ProgramFilesDir", "C:") + "\\" + PublisherFolder + "\\" + SuiteName;
}

void TInstallation::ConfigureArchive(archive::TUnZip& archive) {
  archive.SetZipName(ImageName);
  archive.SetRecreateDirs(true);
  archive.SetOverwriteMode(archive::TUZOverwriteMode::Always);
  archive.SetDoAll(true);
}

bool TInstallation::AcceptsDirectory(const std::string& directory) {
  if (directory.size() >= 3 && directory[1] == ':' && directory[2] == '\\') return true;
  return directory.size() >= 3 && directory[0] == '\\' && directory[1] == '\\';
}

void TInstallation::Extract() {
  FLost.clear();
  FLossStatus = TExitStatus::esDone;
  FNewFolders.clear();
  FWritten.clear();
  FExtractedBytes = 0;
  TArchiveListener listener(*this, FArchive);
  FArchive.SetDestDir(FDirectory);
  // The archive's own errors say what is wrong with it, not which file it is.
  try {
    FArchive.OpenZip();
    // Entries found by scanning, for want of the archive's directory, are the ones that happen
    // to be whole: a cut download would install part of the suite and call it done.
    if (FArchive.ScannedLocalHeaders()) {
      throw archive::EFatalUnzipError("Its directory is missing or damaged, so files of the suite may be missing. "
                                      "Get the setup again.");
    }
    JournalEntryFolders();
    // Made here, not left to the archive, whose error would not say which folder it could not make.
    MakeFolder(FDirectory);
    LogCreatedFolders(base::IncludeTrailingBackslash(platform::ExpandFileName(FDirectory)));
    listener.Settle(FArchive.UnZip());
  } catch (const TCancelled&) {
    FArchive.CloseZip();  // the extraction left it open when it was stopped
  } catch (const archive::EIncompleteZip& error) {
    throw archive::EIncompleteZip(ArchiveErrorText(FArchive.ZipName(), error));
  } catch (const archive::EFatalUnzipError& error) {
    throw archive::EFatalUnzipError(ArchiveErrorText(FArchive.ZipName(), error));
  } catch (const base::EFOpenError& error) {
    // The image, or a volume of it, is missing: the image's fault as much as a damaged one.
    throw archive::EFatalUnzipError(ArchiveErrorText(FArchive.ZipName(), error));
  }
}

// The manifest lists the paths the entries were written to, below the directory: the names
// extraction made safe (a drive, "..", a rooted name) are the names the uninstaller finds.
void TInstallation::RecordWritten(const std::string& fullName) {
  const std::string directory = base::IncludeTrailingBackslash(platform::ExpandFileName(FDirectory));
  if (fullName.size() > directory.size() && base::SameText(fullName.substr(0, directory.size()), directory)) {
    FWritten.push_back(fullName.substr(directory.size()));
  }
}

void TInstallation::NoteMissingFolders(std::string folder) {
  if (!SetupLog().Active()) return;
  for (folder = base::IncludeTrailingBackslash(folder); !platform::DirectoryExists(base::ExcludeTrailingBackslash(folder));
       folder = base::ExtractFilePath(base::ExcludeTrailingBackslash(folder))) {
    if (!FNewFolders.emplace(base::UpperCase(folder), folder).second) break;
  }
}

void TInstallation::LogCreatedFolders(const std::string& path) {
  std::vector<std::string> made;
  for (std::string folder = base::ExtractFilePath(path);;
       folder = base::ExtractFilePath(base::ExcludeTrailingBackslash(folder))) {
    const auto found = FNewFolders.find(base::UpperCase(folder));
    if (found == FNewFolders.end()) break;
    made.push_back(found->second);
    FNewFolders.erase(found);
  }
  // The outermost first, as they were made.
  for (auto folder = made.rbegin(); folder != made.rend(); ++folder) {
    LogChange(TLogChange::lcCreated, TLogObject::loFolder, base::ExcludeTrailingBackslash(*folder));
  }
}

void TInstallation::NoteLoss(const std::string& loss, TExitStatus status) {
  SetupLog().Error("not extracted: " + loss);
  // A file that could not be written says more about what to do than a damaged entry.
  if (FLossStatus != TExitStatus::esWriteFailed) FLossStatus = status;
}

void TInstallation::JournalEntryFolders() {
  const std::string directory = base::IncludeTrailingBackslash(platform::ExpandFileName(FDirectory));
  FJournal.BeforeFolder(directory);
  NoteMissingFolders(directory);
  // Each folder once: an archive names a folder with every entry in it.
  std::unordered_set<std::string> seen;
  for (std::int32_t i = 0; i < FArchive.Count(); ++i) {
    if (FArchive.Pathname(i).empty() || !seen.insert(base::UpperCase(FArchive.Pathname(i))).second) continue;
    // A folder the archive names outside the directory is not extracted at all.
    const std::string folder = platform::ExpandFileName(directory + FArchive.Pathname(i));
    if (base::SameText(folder.substr(0, directory.size()), directory)) {
      FJournal.BeforeFolder(folder);
      NoteMissingFolders(folder);
    }
  }
}

bool TInstallation::BeforeReplacing(const std::string& fileName) {
  MakeReplaceable(fileName);
  return FJournal.BeforeFile(fileName);
}

// The suite's own link is replaced, never numbered beside the old one.
void TInstallation::ReplaceShortcut(const std::string& target, const std::string& linkName,
                                    const std::string& arguments) {
  const std::string existing = linkName + ".lnk";
  const bool existed = platform::FileExists(existing);
  // One that cannot be set aside is deleted; one that stays all the same gets a numbered name.
  if (existed && !BeforeReplacing(existing)) {
    platform::DeleteFile(existing);
  } else {
    FJournal.Created(existing);  // before the link is made, as every change is recorded
  }
  const std::string made = CreateShortcut(target, linkName, arguments);
  const bool replaced = base::SameText(made, existing);
  if (!replaced) FJournal.Created(made);
  LogChange(replaced && existed ? TLogChange::lcReplaced : TLogChange::lcCreated, TLogObject::loLink, made);
}

void TInstallation::PutInPlace() {
  FJournal.BeforeFolder(SuiteMenuFolder());
  const std::string menu = CreateMenuFolder();
  for (const TShortcutRow& row : SuiteShortcuts) {
    ReplaceShortcut(FDirectory + "\\" + row.TargetFile, menu + "\\" + row.LinkName, "");
  }
  // The program may run from the directory itself: its copy onto itself fails on its own,
  // and the running file is not to be moved.
  const std::string copy = FInstallDir + base::ExtractFileName(FProgramFile);
  const bool copyExisted = platform::FileExists(copy);
  if (!base::SameText(platform::ExpandFileName(FProgramFile), platform::ExpandFileName(copy))) BeforeReplacing(copy);
  CopyFileTo(FProgramFile, FInstallDir);
  // The uninstall command runs this copy: where files carry permissions it must be a program.
  platform::FileSetMode(copy, 0755);
  LogChange(copyExisted ? TLogChange::lcReplaced : TLogChange::lcCreated, TLogObject::loFile, copy);
  const std::string manifest = FInstallDir + ManifestName;
  const bool manifestExisted = platform::FileExists(manifest);
  BeforeReplacing(manifest);
  WriteManifest(FWritten, manifest);
  LogChange(manifestExisted ? TLogChange::lcReplaced : TLogChange::lcCreated, TLogObject::loFile, manifest);
  // The uninstaller is the copy just made, under the name this program has: a renamed
  // download uninstalls as well.
  const std::string uninstaller = base::ExtractFileName(FProgramFile);
  ReplaceShortcut(FDirectory + "\\" + uninstaller, menu + "\\" + UninstallLinkName, UninstallArgument);
  const std::uint64_t kilobytes = (FExtractedBytes + BytesPerKB - 1) / BytesPerKB;
  FJournal.BeforeRegistryChange("the entry in the list of installed programs", SaveRegistrationState());
  FScope = RegisterSuite({FInstallDir, uninstaller,
                 static_cast<std::uint32_t>(std::min<std::uint64_t>(kilobytes, std::numeric_limits<std::uint32_t>::max()))});
  FJournal.Commit();
}

std::optional<std::uint64_t> TInstallation::SpaceRequired(archive::TUnZip& archive) {
  try {
    archive.OpenZip();
  } catch (const base::Exception&) {
    return std::nullopt;
  }
  std::uint64_t bytes = 0;
  for (std::int32_t i = 0; i < archive.Count(); ++i) {
    // Sizes are the archive's word: a forged one must not wrap the sum round to little.
    const std::uint64_t size = ByteCount(archive.Entry(i).UncompressedSize);
    bytes = size > std::numeric_limits<std::uint64_t>::max() - bytes ? std::numeric_limits<std::uint64_t>::max()
                                                                    : bytes + size;
  }
  archive.CloseZip();
  return bytes;
}

void TInstallation::RollBack() {
  // A cancel is the user's own choice: told as news, not as an error.
  const std::string opening = FCancelRequested ? "The installation was cancelled." : "The installation was stopped by an error.";
  const TNoticeKind kind = FCancelRequested ? TNoticeKind::nkInformation : TNoticeKind::nkError;
  if (FJournal.Empty()) {
    if (FCancelRequested) FDialogue.Tell(opening + " Nothing was changed on this computer.", SuiteName, kind);
    return;
  }
  const std::vector<std::string> left = FJournal.RollBack();
  if (left.empty()) {
    FDialogue.Tell(opening + " Everything it had changed was undone: Qel Orvane is not installed, and this computer "
                   "is as it was before.",
                   SuiteName, kind);
    return;
  }
  std::string notice = opening + " What it had changed was undone, except for:\r\n";
  for (std::size_t i = 0; i < std::min(left.size(), ReportedLosses); ++i) notice += "\r\n" + left[i];
  if (left.size() > ReportedLosses) {
    notice += "\r\n... and " + base::IntToStr(static_cast<std::int64_t>(left.size() - ReportedLosses)) + " more";
  }
  FDialogue.Tell(notice + "\r\n\r\nDelete these by hand, or run the setup again.", SuiteName, TNoticeKind::nkError);
}

void TInstallation::Conclude() {
  if (!FLost.empty()) {
    FDialogue.Tell(LossReport(), SuiteName, TNoticeKind::nkError);
    return;
  }
  if (FScope == TRegistrationScope::CurrentUser) {
    FDialogue.Tell("Qel Orvane was installed for you only: without administrator rights it could not be added to "
                   "the list of programs for all users of this computer. It is in your own list of installed "
                   "programs, and you can uninstall it from there.",
                   SuiteName, TNoticeKind::nkInformation);
  }
  if (FDialogue.Ask("Installation complete. Run Qel Dovra?")) platform::ShellExecute(0, MainProgram, "", FDirectory);
}

std::string TInstallation::LossReport() const {
  std::string report = "The installation is not complete: these files of the archive could not be extracted.\r\n";
  for (std::size_t i = 0; i < std::min(FLost.size(), ReportedLosses); ++i) report += "\r\n" + FLost[i];
  if (FLost.size() > ReportedLosses) report += "\r\n... and " + base::IntToStr(static_cast<std::int64_t>(FLost.size() - ReportedLosses)) + " more";
  return report + "\r\n\r\nRun the setup again to repair the installation in " + FInstallDir + ", or uninstall it.";
}

}  // namespace qel::installer
