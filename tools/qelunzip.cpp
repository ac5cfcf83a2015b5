// qelunzip: the archive component from a shell, used as unzip is. Lists, tests or extracts an
// archive; the exit statuses are unzip's (TExitStatus).
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "archive/file_helpers.h"
#include "archive/unzip.h"
#include "base/exceptions.h"
#include "base/text.h"
#include "platform/code_pages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tools/qelunzip_extract.h"
#include "tools/qelunzip_options.h"
#include "tools/qelunzip_report.h"
#include "tools/qelunzip_selection.h"

namespace qel::tools {
namespace {

using archive::TUnZip;

// The component's text for an archive without an end record; a directory that ends early
// adds why after a colon.
constexpr const char* NoEndRecordText = "Incomplete Zip File";
// Windows' codes for a disk that refuses more bytes (ERROR_HANDLE_DISK_FULL, ERROR_DISK_FULL).
constexpr std::uint32_t HandleDiskFull = 39;
constexpr std::uint32_t DiskFull = 112;

// A failure that ends the run, worded for the user, with its exit status.
struct TFatal {
  std::string Message;  // console text
  int Status = esFormatError;
};

int Report(const TFatal& fatal) {
  std::cout << std::flush;
  std::cerr << "qelunzip: " << fatal.Message << "\n";
  return fatal.Status;
}

std::string ConsoleMessage(const std::exception& error) {
  return platform::TextToConsole(platform::HostMessageSpelling(error.what()));
}

// The archive as unzip finds it: the name as given, else with ".zip" added.
std::optional<std::string> FindArchive(const std::string& name, TFatal& problem) {
  const bool hasZipExtension = base::LowerCase(archive::RightPart(name, 4)) == ".zip";
  std::string found;
  if (platform::FileExists(name)) {
    found = name;
  } else if (!hasZipExtension && platform::FileExists(name + ".zip")) {
    found = name + ".zip";
  } else if (platform::DirectoryExists(name)) {
    problem = {"not a ZIP archive but a directory: " + ConsoleName(name), esNoArchive};
    return std::nullopt;
  } else {
    problem = {"cannot find " + ConsoleName(name) + (hasZipExtension ? "" : " or " + ConsoleName(name + ".zip")),
               esNoArchive};
    return std::nullopt;
  }
  // A file that is there but cannot be read is as good as missing.
  const platform::FileHandle probe = platform::FileOpen(found, platform::fmOpenRead | platform::fmShareDenyNone);
  if (probe == platform::InvalidFileHandle) {
    problem = {"cannot open " + ConsoleName(found) + ": " + platform::TextToConsole(platform::LastErrorText()),
               esNoArchive};
    return std::nullopt;
  }
  platform::FileClose(probe);
  return found;
}

void PrintComment(TUnZip& zip) {
  const std::string comment = zip.ZipComment();
  if (comment.empty()) return;
  // Line ends and tabs are the comment's own; other control characters would drive the terminal.
  std::string shown;
  for (std::size_t at = 0; at < comment.size(); ++at) {
    const char c = comment[at];
    const bool lineEnd = c == '\n' || (c == '\r' && at + 1 < comment.size() && comment[at + 1] == '\n');
    // The comment is stored in the OEM code page, as names without the Unicode flag are.
    shown += lineEnd || c == '\t' ? std::string(1, c) : EscapeControls(platform::OemToUtf8(std::string_view(&c, 1)));
  }
  std::cout << platform::TextToConsole(shown) << (comment.back() == '\n' ? "" : "\n");
}

void CautionUnmatched(const TSelection& selection) {
  std::cout << std::flush;
  for (const std::string& mask : selection.Unmatched()) std::cerr << "caution: filename not matched:  " << mask << "\n";
}

// options.Archive names the archive found.
int Run(const TOptions& options) {
  TUnZip zip;
  if (options.Recover) zip.SetIncompleteZipMode(archive::TIncompleteZipMode::izAssumeBad);
  zip.SetZipName(options.Archive);
  zip.OpenZip();
  zip.CloseZip();
  // Only -F scans: without it an archive without an end record was refused already.
  if (zip.ScannedLocalHeaders() && zip.Count() == 0) {
    return Report({"not a ZIP archive (no local header found either): " + ConsoleName(options.Archive), esNoArchive});
  }
  if (options.Action == TAction::Comment) {
    PrintComment(zip);
    return esOk;
  }

  TSelection selection(zip, options);
  int status = esOk;
  switch (options.Action) {
    case TAction::NamesOnly: PrintNames(zip, selection, std::cout); break;
    case TAction::List:
    case TAction::ListVerbose:
      PrintListing(zip, selection, options.Action == TAction::ListVerbose, std::cout);
      break;
    case TAction::Pipe:
      platform::CatchInterrupts();
      status = PipeEntries(zip, selection, options);
      break;
    case TAction::Extract:
    case TAction::Test:
      if (options.Update != TUpdate::All && options.Action == TAction::Extract) {
        LeaveOutUpToDate(zip, selection, options);
      }
      platform::CatchInterrupts();
      if (selection.Count() > 0) status = ExtractEntries(zip, selection, options);
      break;
    case TAction::Comment:
    case TAction::Help:
    case TAction::Version: break;
  }
  CautionUnmatched(selection);
  // A failed entry says more than a mask that matched nothing.
  return status == esOk && !selection.Unmatched().empty() ? esNoMatch : status;
}

// The component's failures as a user of unzip would have them told, naming the archive.
TFatal Worded(const archive::EIncompleteZip& error, const std::string& archive) {
  const std::string text = error.what();
  if (text == NoEndRecordText) {
    return {"not a ZIP archive (no end of central directory record; try -F): " + archive, esNoArchive};
  }
  const std::string prefix = std::string(NoEndRecordText) + ": ";
  const std::string why = text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
  return {"damaged archive (" + platform::TextToConsole(why) + "; try -F): " + archive, esFormatError};
}

int RunReportingFailures(const TOptions& given) {
  TFatal problem;
  const std::optional<std::string> found = FindArchive(given.Archive, problem);
  if (!found) return Report(problem);
  TOptions options = given;
  options.Archive = *found;
  const std::string archive = ConsoleName(*found);
  try {
    return Run(options);
  } catch (const archive::EUserCanceled&) {
    return Report({"interrupted", esInterrupted});
  } catch (const archive::EIncompleteZip& error) {
    return Report(Worded(error, archive));
  } catch (const archive::EFatalUnzipError& error) {
    return Report({"damaged archive (" + ConsoleMessage(error) + "): " + archive, esFormatError});
  } catch (const base::EWriteError& error) {
    const std::uint32_t code = platform::LastErrorCode();
    return Report({ConsoleMessage(error), code == DiskFull || code == HandleDiskFull ? esDiskFull : esFormatError});
  } catch (const std::exception& error) {
    return Report({ConsoleMessage(error), esFormatError});
  }
}

}  // namespace
}  // namespace qel::tools

int main(int argc, char** argv) {
  using namespace qel;
  const std::vector<std::string> args = platform::ProgramArguments(argc, argv);
  tools::TOptions options;
  if (const std::optional<std::string> error = tools::ParseOptions(args, options)) {
    std::cerr << "qelunzip: " << *error << "\n" << tools::Usage << "\n";
    return tools::esBadCommandLine;
  }
  if (options.Action == tools::TAction::Help) {
    std::cout << tools::Usage << "\n\n" << tools::Help;
    return tools::esOk;
  }
  if (options.Action == tools::TAction::Version) {
    const int version = archive::TUnZip::ComponentVersion;
    std::cout << "qelunzip " << version / 100 << "." << version % 100 / 10 << version % 10 << "\n";
    return tools::esOk;
  }
  return tools::RunReportingFailures(options);
}
