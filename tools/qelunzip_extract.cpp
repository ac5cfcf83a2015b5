#include "tools/qelunzip_extract.h"

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include "archive/output_path.h"
#include "archive/stored_name.h"
#include "base/stream.h"
#include "platform/code_pages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "tools/qelunzip_report.h"

namespace qel::tools {
namespace {

using archive::TUnZip;

std::string SkipText(const TUnZip& zip, archive::TSkipReason reason, std::int32_t i) {
  std::string text = archive::SkipReasonText(reason);
  if (reason == archive::TSkipReason::srUnsupportedMethod) text += " " + std::to_string(zip.Entry(i).CompressionMethod);
  return text;
}

// Ctrl-C stops the run where the component can take it: raised from a handler, it gives up
// the entry in hand, whose unfinished file is deleted, and leaves every other file as it was.
void StopIfInterrupted() {
  if (platform::Interrupted()) throw archive::EUserCanceled("interrupted");
}

// Standard output as the stream -p writes entries into. It only goes forward: the bytes of an
// entry that fails its check are out already, as in any pipe, and its failure is reported.
class TStandardOutput final : public base::TStream {
 public:
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    if (count <= 0) return 0;
    if (!platform::WriteStandardOutput(static_cast<const char*>(buffer), static_cast<std::size_t>(count))) return 0;
    FWritten += count;
    return count;
  }
  std::int64_t Seek(std::int64_t, int) override { return FWritten; }
  void SetSize(std::int64_t) override {}

 private:
  std::int64_t FWritten = 0;
};

// One run over the chosen entries. The component outlives it, so the destructor takes back
// every handler, none of which may point here afterwards. The component may take entries
// whose names differ from chosen ones only in case (see TSelection::HandTo): those are left
// before anything is written, and said nothing about.
class TEntryRun final {
 public:
  TEntryRun(TUnZip& zip, const TSelection& selection, const TOptions& options, std::ostream& report)
      : FZip(zip), FSelection(selection), FOptions(options), FReport(report) {}
  ~TEntryRun();
  TEntryRun(const TEntryRun&) = delete;
  TEntryRun& operator=(const TEntryRun&) = delete;

  int Extract();
  int Pipe();

 private:
  void Configure();
  void AskBeforeOverwriting();
  void BindDialogue();
  void BindExtractionReports();
  void CountTakenUp();
  bool ShowsProgress() const { return !FOptions.Quiet && !FPiping && platform::ErrorIsTerminal(); }
  int Summarize(std::int32_t done);
  int Status(bool lost) const;

  TUnZip& FZip;
  const TSelection& FSelection;
  const TOptions& FOptions;
  std::ostream& FReport;
  bool FTesting = false;
  bool FPiping = false;
  int FAnswerAll = 0;  // the overwrite prompt's "A" (1) or "N" (-1) answers every later one
  std::int32_t FSelected = 0;    // chosen entries the component took up
  std::int32_t FSucceeded = 0;   // files that came out right
  std::int32_t FFailures = 0;    // entries lost: one left alone because it exists was the user's choice
  std::int32_t FBadPasswords = 0;
  std::int32_t FKept = 0;
  std::int32_t FLeftOutside = 0;  // taken up by the component though not chosen; it counts them done
  std::int32_t FFoldersCountedDone = 0;
  int FFilePercent = 0;
};

TEntryRun::~TEntryRun() {
  FZip.OnBadPassword = nullptr;
  FZip.OnPromptForOverwrite = nullptr;
  FZip.OnBadCRC = nullptr;
  FZip.OnSkippingFile = nullptr;
  FZip.OnStartUnZipInfo = nullptr;
  FZip.OnStartUnZip = nullptr;
  FZip.OnEndUnZip = nullptr;
  FZip.OnFilePercentDone = nullptr;
  FZip.OnTotalPercentDone = nullptr;
}

void TEntryRun::AskBeforeOverwriting() {
  FZip.SetOverwriteMode(archive::TUZOverwriteMode::Prompt);
  FZip.OnPromptForOverwrite = [this](base::TObject&, bool& overwrite, std::int32_t i, std::string& name) {
    if (!FSelection.Chosen(i)) return;
    while (FAnswerAll == 0) {
      std::cerr << "replace " << ConsoleName(name) << "? [y]es, [n]o, [A]ll, [N]one: " << std::flush;
      std::string answer;
      if (!platform::ReadConsoleLine(answer)) {
        StopIfInterrupted();
        answer = "N";
      }
      if (answer == "y") {
        overwrite = true;
        return;
      }
      if (answer == "n") return;
      if (answer == "A") FAnswerAll = 1;
      if (answer == "N") FAnswerAll = -1;
    }
    overwrite = FAnswerAll > 0;
  };
}

void TEntryRun::Configure() {
  // A test decodes into nothing: no file or folder is made anywhere.
  FZip.SetTestOnly(FTesting);
  if (!FOptions.Destination.empty()) FZip.SetDestDir(FOptions.Destination);
  FZip.SetRecreateDirs(!FOptions.JunkPaths);
  FSelection.HandTo(FZip);
  // -u and -f chose the files to replace already: those are older than their entries.
  const bool updating = FOptions.Update != TUpdate::All && FOptions.Overwrite != TOverwrite::Never;
  if (FTesting || updating || FOptions.Overwrite == TOverwrite::Always) {
    FZip.SetOverwriteMode(archive::TUZOverwriteMode::Always);
  } else if (FOptions.Overwrite == TOverwrite::Never || !platform::InputIsTerminal()) {
    FZip.SetOverwriteMode(archive::TUZOverwriteMode::Never);
  } else {
    AskBeforeOverwriting();
  }
}

// A given password is tried first; the terminal is asked only when none was given.
void TEntryRun::BindDialogue() {
  if (FOptions.Password) FZip.SetPassword(*FOptions.Password);
  FZip.OnBadPassword = [this](base::TObject&, std::int32_t i, std::string& password) {
    if (!FSelection.Chosen(i) || FOptions.Password || !platform::InputIsTerminal()) return;
    std::cerr << "password for " << ConsolePath(FZip.Entry(i)) << ": " << std::flush;
    std::string typed;
    if (!platform::ReadConsoleLine(typed, false)) StopIfInterrupted();
    if (!typed.empty()) password = typed;
  };
  FZip.OnBadCRC = [this](base::TObject&, std::int32_t, std::int32_t, std::int32_t i) {
    if (!FSelection.Chosen(i)) return;
    ++FFailures;
    FReport << "  failed: " << ConsolePath(FZip.Entry(i)) << " (CRC error)\n";
  };
  FZip.OnSkippingFile = [this](base::TObject&, archive::TSkipReason reason, std::int32_t i) {
    if (!FSelection.Chosen(i)) return;
    if (reason == archive::TSkipReason::srNoOverwrite) {
      ++FKept;
      if (!FOptions.Quiet) FReport << "  skipped: " << ConsolePath(FZip.Entry(i)) << " (exists)\n";
      return;
    }
    ++FFailures;
    if (reason == archive::TSkipReason::srBadPassword) ++FBadPasswords;
    FReport << "  failed: " << ConsolePath(FZip.Entry(i)) << " (" << SkipText(FZip, reason, i) << ")\n";
  };
  FZip.OnStartUnZip = [this](base::TObject&, std::int32_t i, const std::string&, bool& skip) {
    StopIfInterrupted();
    if (FSelection.Chosen(i)) return;
    skip = true;
    ++FLeftOutside;
  };
  FZip.OnFilePercentDone = [this](base::TObject&, std::int32_t percent) {
    StopIfInterrupted();
    FFilePercent = percent;
  };
  if (ShowsProgress()) {
    FZip.OnTotalPercentDone = [this](base::TObject&, std::int32_t percent) {
      std::cerr << "\r  file " << FFilePercent << "%  total " << percent << "%" << std::flush;
    };
  }
}

// What the component took up is known once it has selected: chosen entries, and others only
// by a name that differs in case.
void TEntryRun::CountTakenUp() {
  for (std::int32_t i = 0; i < FZip.Count(); ++i) {
    const archive::TZipHeaderInfo& entry = FZip.Entry(i);
    if (!entry.Selected || !FSelection.Chosen(i)) continue;
    ++FSelected;
    // The component counts such a folder as done: it is not.
    if (entry.FileName().empty() && entry.UncompressedSize != 0) ++FFoldersCountedDone;
  }
}

void TEntryRun::BindExtractionReports() {
  FZip.OnStartUnZipInfo = [this](base::TObject&, std::int32_t, std::int64_t, bool&) {
    StopIfInterrupted();
    CountTakenUp();
    FFailures += ReportFoldersWithData(FZip, FSelection, FReport);
  };
  FZip.OnEndUnZip = [this](base::TObject&, std::int32_t i, const std::string&) {
    if (!FSelection.Chosen(i)) return;
    ++FSucceeded;
    if (FOptions.Quiet) return;
    if (ShowsProgress()) std::cerr << "\r\033[K" << std::flush;
    FReport << (FTesting ? "  OK: " : "  extracted: ") << ConsolePath(FZip.Entry(i)) << "\n";
  };
}

int TEntryRun::Extract() {
  FTesting = FOptions.Action == TAction::Test;
  Configure();
  BindDialogue();
  BindExtractionReports();
  const std::int32_t done = FZip.UnZip();
  if (ShowsProgress()) std::cerr << "\r\033[K" << std::flush;
  return Summarize(done - FLeftOutside - FFoldersCountedDone);
}

int TEntryRun::Pipe() {
  FPiping = true;
  BindDialogue();
  std::cout << std::flush;
  TStandardOutput output;
  FZip.SetKeepZipOpen(true);
  for (std::int32_t i = 0; i < FZip.Count(); ++i) {
    if (!FSelection.Chosen(i) || FZip.Entry(i).FileName().empty()) continue;
    ++FSelected;
    StopIfInterrupted();
    if (FZip.UnZipToStream(i, output)) ++FSucceeded;
  }
  FZip.SetKeepZipOpen(false);
  FZip.CloseZip();
  return Status(FFailures > 0 || FSucceeded < FSelected);
}

int TEntryRun::Summarize(std::int32_t done) {
  // The component's own count says it too: an entry it lost without telling is still lost.
  const bool lost = FFailures > 0 || done + FKept < FSelected;
  const std::string archive = ConsoleName(FOptions.Archive);
  if (FTesting) {
    if (!lost) {
      FReport << "No errors detected in " << archive << "\n";
    } else {
      FReport << (FSelected - done) << " of " << FSelected << " entries failed in " << archive << "\n";
    }
  } else if (lost || FKept > 0) {
    FReport << done << " of " << FSelected << " entries extracted";
    if (FKept > 0) FReport << ", " << FKept << " skipped (they exist)";
    if (FFailures > 0) FReport << ", " << FFailures << " failed";
    FReport << "\n";
  }
  return Status(lost);
}

// Leaving a file that exists, as asked, is no failure.
int TEntryRun::Status(bool lost) const {
  if (!lost) return esOk;
  return FSucceeded == 0 && FBadPasswords > 0 && FBadPasswords == FFailures ? esBadPassword : esWarning;
}

// The file an entry goes to, placed as the component places it.
std::optional<std::string> EntryFile(const archive::TZipHeaderInfo& entry, const std::string& destination,
                                     bool recreateDirs) {
  const std::optional<std::string> folder = archive::EntryFolder(destination, entry.Directory(), 0, recreateDirs);
  if (!folder) return std::nullopt;
  return *folder + entry.FileName();
}

// The file's last-write time in whole seconds, or nothing when there is no such file. A link
// has its own, which its entry gave it.
std::optional<std::int64_t> FileSeconds(const std::string& file) {
  const std::optional<platform::TFileTime> time = platform::FileGetTime(file);
  if (!time) return std::nullopt;
  return *time / platform::FileTimeTicksPerSecond;
}

// The entry's time as extraction gives it to its file: exact where the archive has it, else
// the MS-DOS time; -1 for none.
std::int64_t EntrySeconds(const archive::TZipHeaderInfo& entry) {
  const std::optional<platform::TFileTime> time =
      entry.LastWriteTime ? entry.LastWriteTime : platform::FileTimeOfDosDate(entry.FileDate);
  return time ? *time / platform::FileTimeTicksPerSecond : -1;
}

}  // namespace

int ExtractEntries(TUnZip& zip, const TSelection& selection, const TOptions& options) {
  TEntryRun run(zip, selection, options, std::cout);
  return run.Extract();
}

int PipeEntries(TUnZip& zip, const TSelection& selection, const TOptions& options) {
  TEntryRun run(zip, selection, options, std::cerr);
  return run.Pipe();
}

void LeaveOutUpToDate(const TUnZip& zip, TSelection& selection, const TOptions& options) {
  const std::string destination = options.Destination.empty() ? std::string() : platform::ExpandFileName(options.Destination);
  const bool freshening = options.Update == TUpdate::NewerExisting;
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    if (!selection.Chosen(i)) continue;
    const archive::TZipHeaderInfo& entry = zip.Entry(i);
    if (entry.FileName().empty()) {
      if (freshening) selection.Drop(i);
      continue;
    }
    // A name the component will refuse stays chosen, to be reported as such.
    const std::optional<std::string> file = EntryFile(entry, destination, !options.JunkPaths);
    if (!file) continue;
    // Whole seconds: the file holds the very time its entry gave it, to the precision of
    // the file system, and an archive's exact times have no finer step.
    const std::optional<std::int64_t> seconds = FileSeconds(*file);
    const bool newer = seconds ? EntrySeconds(entry) > *seconds : !freshening;
    if (!newer) selection.Drop(i);
  }
}

}  // namespace qel::tools
