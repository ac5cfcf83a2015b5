// qelunzip: the archive component from a shell. Lists, tests or extracts an archive.
// Exit status: 0 when every selected entry came out right, 1 when some were skipped or
// failed their CRC check, 2 on a fatal error.
#include <functional>
#include <memory>
#include <iostream>
#include <string>
#include <vector>

#include "archive/unzip.h"
#include "platform/console.h"
#include "tools/qelunzip_options.h"
#include "tools/qelunzip_report.h"

namespace qel::tools {
namespace {

using archive::TUnZip;

std::string EntryPath(TUnZip& zip, std::int32_t i) { return ConsolePath(zip.Entry(i)); }

std::string SkipText(TUnZip& zip, archive::TSkipReason reason, std::int32_t i) {
  std::string text = archive::SkipReasonText(reason);
  if (reason == archive::TSkipReason::srUnsupportedMethod) text += " " + std::to_string(zip.Entry(i).CompressionMethod);
  return text;
}

// Asks on the terminal; "A" and "N" answer every later question too.
void AskBeforeOverwriting(TUnZip& zip) {
  auto always = std::make_shared<int>(0);  // 0 ask, 1 all, -1 none
  zip.SetOverwriteMode(archive::TUZOverwriteMode::Prompt);
  zip.OnPromptForOverwrite = [always](base::TObject&, bool& overwrite, std::int32_t, std::string& name) {
    while (*always == 0) {
      std::cerr << "replace " << ConsoleName(name) << "? [y]es, [n]o, [A]ll, [N]one: " << std::flush;
      std::string answer;
      if (!platform::ReadConsoleLine(answer)) answer = "N";
      if (answer == "y") {
        overwrite = true;
        return;
      }
      if (answer == "n") return;
      if (answer == "A") *always = 1;
      if (answer == "N") *always = -1;
    }
    overwrite = *always > 0;
  };
}

// One extraction or test run. The component is the last member, so it is destroyed before
// the counters its handlers update: no handler can outlive what it captures (this).
class TExtraction final {
 public:
  explicit TExtraction(const TOptions& options) : FOptions(options), FTesting(options.Action == TAction::Test) {}
  TExtraction(const TExtraction&) = delete;
  TExtraction& operator=(const TExtraction&) = delete;

  TUnZip& Zip() { return FZip; }
  int Run();

 private:
  void Configure();
  void BindReports();
  int Summarize(std::int32_t done);

  const TOptions& FOptions;
  const bool FTesting;
  bool FGivenPasswordOffered = false;
  int FFailures = 0;  // entries lost: an entry left alone because it exists was the user's choice
  int FKept = 0;
  std::int32_t FSelected = 0;
  int FFoldersWithData = 0;
  int FFilePercent = 0;
  TUnZip FZip;
};

void TExtraction::Configure() {
  // A test decodes into nothing: no file or folder is made anywhere.
  FZip.SetTestOnly(FTesting);
  if (!FOptions.Destination.empty()) FZip.SetDestDir(FOptions.Destination);
  FZip.SetRecreateDirs(!FOptions.JunkPaths);
  FZip.SetDoAll(FOptions.Masks.empty());
  for (const std::string& mask : FOptions.Masks) FZip.FilesList().Add(mask);

  if (FTesting || FOptions.Overwrite == TOverwrite::Always) {
    FZip.SetOverwriteMode(archive::TUZOverwriteMode::Always);
  } else if (FOptions.Overwrite == TOverwrite::Never || !platform::InputIsTerminal()) {
    FZip.SetOverwriteMode(archive::TUZOverwriteMode::Never);
  } else {
    AskBeforeOverwriting(FZip);
  }

  // The component's password changes only through its dialogue: a given password is the
  // first answer, then the terminal is asked (when there is one).
  FZip.OnBadPassword = [this](base::TObject&, std::int32_t i, std::string& password) {
    if (FOptions.Password && !FGivenPasswordOffered) {
      FGivenPasswordOffered = true;
      password = *FOptions.Password;
      return;
    }
    if (FOptions.Password || !platform::InputIsTerminal()) return;
    std::cerr << "password for " << EntryPath(FZip, i) << ": " << std::flush;
    std::string typed;
    if (platform::ReadConsoleLine(typed, false) && !typed.empty()) password = typed;
  };
}

void TExtraction::BindReports() {
  FZip.OnBadCRC = [this](base::TObject&, std::int32_t, std::int32_t, std::int32_t i) {
    ++FFailures;
    std::cout << "  failed: " << EntryPath(FZip, i) << " (CRC error)\n";
  };
  FZip.OnSkippingFile = [this](base::TObject&, archive::TSkipReason reason, std::int32_t i) {
    const bool exists = reason == archive::TSkipReason::srNoOverwrite;
    ++(exists ? FKept : FFailures);
    std::cout << (FTesting || !exists ? "  failed: " : "  skipped: ") << EntryPath(FZip, i) << " ("
              << SkipText(FZip, reason, i) << ")\n";
  };
  FZip.OnStartUnZipInfo = [this](base::TObject&, std::int32_t count, std::int64_t, bool&) {
    FSelected = count;
    // The selection is known now. The component counts such a folder as done: it is not.
    FFoldersWithData = ReportFoldersWithData(FZip, std::cout);
    FFailures += FFoldersWithData;
  };
  FZip.OnEndUnZip = [this](base::TObject&, std::int32_t i, const std::string&) {
    if (FOptions.Quiet) return;
    if (platform::ErrorIsTerminal()) std::cerr << "\r\033[K" << std::flush;
    std::cout << (FTesting ? "  OK: " : "  extracted: ") << EntryPath(FZip, i) << "\n";
  };
  if (!FOptions.Quiet && platform::ErrorIsTerminal()) {
    FZip.OnFilePercentDone = [this](base::TObject&, std::int32_t percent) { FFilePercent = percent; };
    FZip.OnTotalPercentDone = [this](base::TObject&, std::int32_t percent) {
      std::cerr << "\r  file " << FFilePercent << "%  total " << percent << "%" << std::flush;
    };
  }
}

int TExtraction::Run() {
  Configure();
  BindReports();
  const std::int32_t done = FZip.UnZip();
  if (!FOptions.Quiet && platform::ErrorIsTerminal()) std::cerr << "\r\033[K" << std::flush;
  return Summarize(done - FFoldersWithData);
}

int TExtraction::Summarize(std::int32_t done) {
  // The component's own count says it too: an entry it lost without telling is still lost.
  const bool lost = FFailures > 0 || done + FKept < FSelected;
  if (FTesting) {
    if (!lost) {
      std::cout << "No errors detected in " << platform::AnsiToConsole(FOptions.Archive) << "\n";
    } else {
      std::cout << (FSelected - done) << " of " << FSelected << " entries failed in "
                << platform::AnsiToConsole(FOptions.Archive) << "\n";
    }
  } else if (lost || FKept > 0) {
    std::cout << done << " of " << FSelected << " entries extracted";
    if (FKept > 0) std::cout << ", " << FKept << " skipped (they exist)";
    if (FFailures > 0) std::cout << ", " << FFailures << " failed";
    std::cout << "\n";
  }
  return lost || FKept > 0 ? 1 : 0;
}

int Run(const TOptions& options) {
  if (options.Action == TAction::Extract || options.Action == TAction::Test) {
    TExtraction extraction(options);
    if (options.Recover) extraction.Zip().SetIncompleteZipMode(archive::TIncompleteZipMode::izAssumeBad);
    extraction.Zip().SetZipName(options.Archive);
    return extraction.Run();
  }
  TUnZip zip;
  if (options.Recover) zip.SetIncompleteZipMode(archive::TIncompleteZipMode::izAssumeBad);
  zip.SetZipName(options.Archive);
  zip.OpenZip();
  zip.CloseZip();
  if (options.Action == TAction::NamesOnly) {
    PrintNames(zip, std::cout);
  } else {
    PrintListing(zip, options.Action == TAction::ListVerbose, std::cout);
  }
  return 0;
}

}  // namespace
}  // namespace qel::tools

int main(int argc, char** argv) {
  using namespace qel;
  std::vector<std::string> args(argv + 1, argv + argc);
  tools::TOptions options;
  if (const std::optional<std::string> error = tools::ParseOptions(args, options)) {
    std::cerr << "qelunzip: " << *error << "\n" << tools::Usage << "\n";
    return 2;
  }
  try {
    return tools::Run(options);
  } catch (const std::exception& error) {
    std::cerr << "qelunzip: " << platform::AnsiToConsole(error.what()) << "\n";
    return 2;
  }
}
