#include "installer/installation.h"

#include <functional>
#include <utility>

#include "archive/unzip.h"
#include "base/text.h"
#include "installer/file_utilities.h"
#include "installer/manifest.h"
#include "installer/registration.h"
#include "installer/shortcut.h"
#include "installer/start_menu.h"
#include "installer/suite.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace qel::installer {

namespace {

// Points the archive's progress events at the sink for one extraction and gives the archive
// its own handlers back afterwards, however the extraction ends.
class TProgressBinding final {
 public:
  TProgressBinding(archive::TUnZip& archive, TProgressSink& sink)
      : FArchive(archive),
        FFilePercent(std::exchange(archive.OnFilePercentDone,
                                   [&sink](base::TObject&, std::int32_t percent) { sink.FilePercentDone(percent); })),
        FTotalPercent(std::exchange(archive.OnTotalPercentDone,
                                    [&sink](base::TObject&, std::int32_t percent) { sink.TotalPercentDone(percent); })) {}
  ~TProgressBinding() {
    FArchive.OnFilePercentDone = std::move(FFilePercent);
    FArchive.OnTotalPercentDone = std::move(FTotalPercent);
  }
  TProgressBinding(const TProgressBinding&) = delete;
  TProgressBinding& operator=(const TProgressBinding&) = delete;

 private:
  archive::TUnZip& FArchive;
  archive::TFilePercentDone FFilePercent;
  archive::TTotalPercentDone FTotalPercent;
};

void ReplaceShortcut(const std::string& target, const std::string& linkName, const std::string& arguments) {
  const std::string existing = linkName + ".lnk";
  if (platform::FileExists(existing)) platform::DeleteFile(existing);  // a link that stays gets a numbered name
  CreateShortcut(target, linkName, arguments);
}

}  // namespace

TInstallation::TInstallation(archive::TUnZip& archive, std::string directory, std::string programFile,
                             TProgressSink& progress, TUserDialogue& dialogue)
    : FArchive(archive),
      FDirectory(std::move(directory)),
      FInstallDir(base::IncludeTrailingBackslash(FDirectory)),
      FProgramFile(std::move(programFile)),
      FProgress(progress),
      FDialogue(dialogue) {}

bool TInstallation::AcceptsDirectory(const std::string& directory) {
  if (directory.size() >= 3 && directory[1] == ':' && directory[2] == '\\') return true;
  return directory.size() >= 3 && directory[0] == '\\' && directory[1] == '\\';
}

void TInstallation::Extract() {
  TProgressBinding binding(FArchive, FProgress);
  FArchive.SetDestDir(FDirectory);
  FArchive.UnZip();
}

void TInstallation::PutInPlace() {
  const std::string menu = CreateMenuFolder();
  for (const TShortcutRow& row : SuiteShortcuts) {
    ReplaceShortcut(FDirectory + "\\" + row.TargetFile, menu + "\\" + row.LinkName, "");
  }
  CopyFileTo(FProgramFile, FInstallDir);
  WriteManifest(FArchive, FInstallDir + ManifestName);
  ReplaceShortcut(FDirectory + "\\" + InstallerFile, menu + "\\" + UninstallLinkName, UninstallArgument);
  RegisterSuite(FInstallDir, base::ExtractFileName(FProgramFile));
}

void TInstallation::OfferToStart() {
  if (FDialogue.Ask("Installation complete. Run Qel Dovra?")) platform::ShellExecute(0, MainProgram, "", FDirectory);
}

}  // namespace qel::installer
