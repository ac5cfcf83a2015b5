// qelunzip: the archive component from a shell. Lists, tests or extracts an archive.
// Exit status: 0 when every selected entry came out right, 1 when some were skipped or
// failed their CRC check, 2 on a fatal error.
#include <functional>
#include <memory>
#include <iostream>
#include <string>
#include <vector>

#include "archive/unzip.h"
#include "base/format.h"
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

// Removes the scratch folder of a test run, however the run ends.
class TScratchFolder final {
 public:
  TScratchFolder()
      : FPath(platform::TemporaryDirectory() + base::Format("qelunzip-test-%u", {platform::ProcessId()})) {}
  ~TScratchFolder() { platform::RemoveTree(FPath); }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

// Asks on the terminal; "A" and "N" answer every later question too.
void AskBeforeOverwriting(TUnZip& zip) {
  auto always = std::make_shared<int>(0);  // 0 ask, 1 all, -1 none
  zip.SetOverwriteMode(archive::TUZOverwriteMode::Prompt);
  zip.OnPromptForOverwrite = [always](base::TObject&, bool& overwrite, std::int32_t, std::string& name) {
    while (*always == 0) {
      std::cerr << "replace " << platform::AnsiToConsole(name) << "? [y]es, [n]o, [A]ll, [N]one: " << std::flush;
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

int Extract(TUnZip& zip, const TOptions& options) {
  const bool testing = options.Action == TAction::Test;
  std::unique_ptr<TScratchFolder> scratch;
  if (testing) scratch = std::make_unique<TScratchFolder>();
  const std::string destination = testing ? scratch->Path() : options.Destination;
  if (!destination.empty()) zip.SetDestDir(destination);
  zip.SetRecreateDirs(!options.JunkPaths);
  zip.SetDoAll(options.Masks.empty());
  for (const std::string& mask : options.Masks) zip.FilesList().Add(mask);

  if (testing || options.Overwrite == TOverwrite::Always) {
    zip.SetOverwriteMode(archive::TUZOverwriteMode::Always);
  } else if (options.Overwrite == TOverwrite::Never || !platform::InputIsTerminal()) {
    zip.SetOverwriteMode(archive::TUZOverwriteMode::Never);
  } else {
    AskBeforeOverwriting(zip);
  }

  // The component's password changes only through its dialogue: a given password is the
  // first answer, then the terminal is asked (when there is one).
  auto givenOffered = std::make_shared<bool>(false);
  zip.OnBadPassword = [&, givenOffered](base::TObject&, std::int32_t i, std::string& password) {
    if (options.Password && !*givenOffered) {
      *givenOffered = true;
      password = *options.Password;
      return;
    }
    if (options.Password || !platform::InputIsTerminal()) return;
    std::cerr << "password for " << EntryPath(zip, i) << ": " << std::flush;
    std::string typed;
    if (platform::ReadConsoleLine(typed, false) && !typed.empty()) password = typed;
  };

  // An entry left alone because it exists was the user's choice; every other one is lost.
  int failures = 0;
  int kept = 0;
  zip.OnBadCRC = [&](base::TObject&, std::int32_t, std::int32_t, std::int32_t i) {
    ++failures;
    std::cout << "  failed: " << EntryPath(zip, i) << " (CRC error)\n";
  };
  zip.OnSkippingFile = [&](base::TObject&, archive::TSkipReason reason, std::int32_t i) {
    const bool exists = reason == archive::TSkipReason::srNoOverwrite;
    ++(exists ? kept : failures);
    std::cout << (testing || !exists ? "  failed: " : "  skipped: ") << EntryPath(zip, i) << " ("
              << SkipText(zip, reason, i) << ")\n";
  };
  std::int32_t selected = 0;
  zip.OnStartUnZipInfo = [&](base::TObject&, std::int32_t count, std::int64_t, bool&) { selected = count; };
  zip.OnEndUnZip = [&](base::TObject&, std::int32_t i, const std::string&) {
    if (options.Quiet) return;
    if (platform::ErrorIsTerminal()) std::cerr << "\r\033[K" << std::flush;
    std::cout << (testing ? "  OK: " : "  extracted: ") << EntryPath(zip, i) << "\n";
  };
  if (!options.Quiet && platform::ErrorIsTerminal()) {
    auto filePercent = std::make_shared<int>(0);
    zip.OnFilePercentDone = [filePercent](base::TObject&, std::int32_t percent) { *filePercent = percent; };
    zip.OnTotalPercentDone = [filePercent](base::TObject&, std::int32_t percent) {
      std::cerr << "\r  file " << *filePercent << "%  total " << percent << "%" << std::flush;
    };
  }

  const std::int32_t done = zip.UnZip();
  if (!options.Quiet && platform::ErrorIsTerminal()) std::cerr << "\r\033[K" << std::flush;
  // The component's own count says it too: an entry it lost without telling is still lost.
  const bool lost = failures > 0 || done + kept < selected;
  if (testing) {
    if (!lost) {
      std::cout << "No errors detected in " << platform::AnsiToConsole(options.Archive) << "\n";
    } else {
      std::cout << (selected - done) << " of " << selected << " entries failed in "
                << platform::AnsiToConsole(options.Archive) << "\n";
    }
  } else if (lost || kept > 0) {
    std::cout << done << " of " << selected << " entries extracted";
    if (kept > 0) std::cout << ", " << kept << " skipped (they exist)";
    if (failures > 0) std::cout << ", " << failures << " failed";
    std::cout << "\n";
  }
  return lost || kept > 0 ? 1 : 0;
}

int Run(const TOptions& options) {
  TUnZip zip;
  if (options.Recover) zip.SetIncompleteZipMode(archive::TIncompleteZipMode::izAssumeBad);
  zip.SetZipName(options.Archive);
  switch (options.Action) {
    case TAction::NamesOnly:
    case TAction::List:
    case TAction::ListVerbose:
      zip.OpenZip();
      zip.CloseZip();
      if (options.Action == TAction::NamesOnly) {
        PrintNames(zip, std::cout);
      } else {
        PrintListing(zip, options.Action == TAction::ListVerbose, std::cout);
      }
      return 0;
    case TAction::Extract:
    case TAction::Test:
      return Extract(zip, options);
  }
  return 2;
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
