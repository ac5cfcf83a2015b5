// The setup program's one window: the three-page installation wizard, and the host of the
// uninstaller when the program is started with "u". The window wires its pages and buttons
// to the installation and uninstallation, and shows their progress, questions and notices.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/zip.h"
#include "installer/procedure_host.h"
#include "platform/ui_controls.h"

namespace qel::installer {

class TInstallation;

class TInstallForm final : public platform::TForm, private TProgressSink, private TUserDialogue {
 public:
  // arguments: the command line without the program's own name. programFile: the running
  // program's full path (tests name a stand-in).
  TInstallForm(std::vector<std::string> arguments, std::string programFile);

  // The controls, by the names the layout gives them.
  platform::TShape& Shape1;
  platform::TLabel& Label2;
  platform::TImage& Image1;
  platform::TLabel& llStepInfo;
  platform::TPanel& InstallPanel;
  platform::TPanel& Panel2;
  platform::TMemo& Memo1;
  platform::TPanel& Panel3;
  platform::TLabel& Label10;
  platform::TEdit& EditDir;
  platform::TButton& BrowseDirButton;
  platform::TLabel& llSpaceRequired;   // what the suite takes on the disk
  platform::TLabel& llSpaceAvailable;  // what the chosen folder's drive has left
  platform::TPanel& Panel5;
  platform::TProgressBar& ProgressBar1;
  platform::TLabel& llFileName;   // beside ProgressBar1: the entry being extracted
  platform::TProgressBar& ProgressBar2;
  platform::TLabel& llFileCount;  // beside ProgressBar2: "n of m"
  platform::TLabel& llOutcome;    // below the bars: what stopped the installation
  platform::TBevel& Bevel1;
  platform::TButton& BackButton;
  platform::TButton& NextButton;
  platform::TButton& ExitButton;
  archive::TZip Zipper;

  // The event handlers.
  void FormShow(platform::TControl& Sender);
  void FormCloseQuery(platform::TControl& Sender, bool& CanClose);
  void NextButtonClick(platform::TControl& Sender);
  void BackButtonClick(platform::TControl& Sender);
  void ExitButtonClick(platform::TControl& Sender);
  void BrowseDirButtonClick(platform::TControl& Sender);
  void ZipperFilePercentDone(base::TObject& Sender, std::int32_t Percent);
  void ZipperTotalPercentDone(base::TObject& Sender, std::int32_t Percent);
  void EditDirChange(platform::TControl& Sender);

  // The work behind the last wizard step, and the uninstaller: each runs its procedure and
  // ends with a close request.
  void DoInstall();
  void DoUninstall();

  bool SkipExitQuery() const noexcept { return FSkipExitQuery; }
  // The directory the directory page offers instead of the default (the command line's "/D=").
  void PresetDirectory(std::string directory) { FPresetDirectory = std::move(directory); }

 private:
  void BuildLayout();
  void ReturnToDirectoryPage();
  // The directory page's figures for the folder in EditDir; false when the suite does not fit.
  bool ShowSpace();
  // The progress page after an error: what failed, and the button that closes the window.
  void ShowFailure(const std::string& message);

  // The procedures' host: progress to the bars, questions and notices as message boxes.
  void FileStarted(const std::string& name, std::int32_t number, std::int32_t count) override;
  void FilePercentDone(std::int32_t percent) override;
  void TotalPercentDone(std::int32_t percent) override;
  bool Ask(const std::string& question) override;
  void Tell(const std::string& notice, const std::string& caption, TNoticeKind kind) override;

  std::vector<std::string> FArguments;
  std::string FProgramFile;
  std::string FPresetDirectory;
  bool FSkipExitQuery = false;
  bool FFailed = false;  // the installation stopped on an error: nothing runs any more
  std::optional<std::uint64_t> FSpaceRequired;  // read from the archive once, on the directory page
  bool FSpaceRequiredRead = false;
  TInstallation* FRunning = nullptr;  // during the copy: what an exit cancels
};

// The text of the welcome page.
extern const char* const WelcomeText;

}  // namespace qel::installer
