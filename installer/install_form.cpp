#include "installer/install_form.h"

#include "installer/installation.h"
#include "installer/setup_log.h"
#include "installer/suite.h"
#include "installer/uninstallation.h"
#include "platform/disk_space.h"
#include "platform/shell.h"
#include "platform/ui.h"

namespace qel::installer {

namespace {
constexpr const char* WelcomeStep = "Welcome to Qel Orvane Installation";
constexpr const char* DirectoryStep = "Select directory";

// "950 KB", "12.5 MB", "3.2 GB": rounded up, so what is required never reads as less than it is.
std::string SizeText(std::uint64_t bytes) {
  constexpr std::uint64_t KB = 1024;
  constexpr std::uint64_t MB = KB * KB;
  constexpr std::uint64_t GB = MB * KB;
  if (bytes < MB) return std::to_string((bytes + KB - 1) / KB) + " KB";
  const std::uint64_t unit = bytes < GB ? MB : GB;
  // Whole units and the tenths of the rest apart: bytes * 10 could wrap for a forged size.
  const std::uint64_t tenths = bytes / unit * 10 + (bytes % unit * 10 + unit - 1) / unit;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + (unit == MB ? " MB" : " GB");
}

// The first line of a message: the page has room for one.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }
}  // namespace

const char* const WelcomeText =
    "Welcome to the installation of Qel Orvane.\r\n"
    "\r\n"
    "This program installs the programs of the Qel Orvane suite on your computer, adds them to "
    "your Start menu and registers an uninstaller.\r\n"
    "\r\n"
    "Close every other program before you go on. Press Next to choose the installation "
    "directory, or Cancel to leave without changes.";

TInstallForm::TInstallForm(std::vector<std::string> arguments, std::string programFile)
    : TForm("InstallForm"),
      Shape1(Add<platform::TShape>("Shape1")),
      Label2(Add<platform::TLabel>("Label2")),
      Image1(Add<platform::TImage>("Image1")),
      llStepInfo(Add<platform::TLabel>("llStepInfo")),
      InstallPanel(Add<platform::TPanel>("InstallPanel")),
      Panel2(Add<platform::TPanel>("Panel2", &InstallPanel)),
      Memo1(Add<platform::TMemo>("Memo1", &Panel2)),
      Panel3(Add<platform::TPanel>("Panel3", &InstallPanel)),
      Label10(Add<platform::TLabel>("Label10", &Panel3)),
      EditDir(Add<platform::TEdit>("EditDir", &Panel3)),
      BrowseDirButton(Add<platform::TButton>("BrowseDirButton", &Panel3)),
      llSpaceRequired(Add<platform::TLabel>("llSpaceRequired", &Panel3)),
      llSpaceAvailable(Add<platform::TLabel>("llSpaceAvailable", &Panel3)),
      Panel5(Add<platform::TPanel>("Panel5", &InstallPanel)),
      ProgressBar1(Add<platform::TProgressBar>("ProgressBar1", &Panel5)),
      llFileName(Add<platform::TLabel>("llFileName", &Panel5)),
      ProgressBar2(Add<platform::TProgressBar>("ProgressBar2", &Panel5)),
      llFileCount(Add<platform::TLabel>("llFileCount", &Panel5)),
      llOutcome(Add<platform::TLabel>("llOutcome", &Panel5)),
      Bevel1(Add<platform::TBevel>("Bevel1")),
      BackButton(Add<platform::TButton>("BackButton")),
      NextButton(Add<platform::TButton>("NextButton")),
      ExitButton(Add<platform::TButton>("ExitButton")),
      FArguments(std::move(arguments)),
      FProgramFile(std::move(programFile)) {
  // Until the work says otherwise, the window ends with nothing done.
  ExitCode = installer::ExitCode(TExitStatus::esCancelled);
  BuildLayout();
}

// The stored layout: places, captions and first states of the controls, the archive
// component's settings and the bindings of every handler.
void TInstallForm::BuildLayout() {
  using platform::TAlign;
  using platform::TBounds;
  SetCaption("Install Qel Orvane");
  SetBounds(TBounds{0, 0, 464, 322});
  Icon = "MAINICON";
  Shape1.SetAlign(TAlign::alTop);
  Shape1.SetBounds(TBounds{0, 0, 464, 57});
  Label2.SetBounds(TBounds{8, 9, 0, 19});
  Label2.SetCaption("Qel Orvane");
  Label2.Transparent = true;
  Image1.SetBounds(TBounds{400, 2, 65, 57});
  Image1.Picture = "HEADER";
  llStepInfo.SetBounds(TBounds{10, 34, 0, 0});
  llStepInfo.SetCaption(WelcomeStep);
  llStepInfo.Transparent = true;
  InstallPanel.SetBounds(TBounds{16, 64, 433, 209});
  for (platform::TPanel* page : {&Panel2, &Panel3, &Panel5}) {
    page->SetAlign(TAlign::alClient);
    page->SetBounds(TBounds{0, 0, 433, 209});
    page->Hide();
  }
  Memo1.SetAlign(TAlign::alClient);
  Memo1.SetText(WelcomeText);
  Label10.SetBounds(TBounds{8, 9, 0, 0});
  Label10.SetCaption("Select Directory");
  EditDir.SetBounds(TBounds{8, 32, 393, 21});
  BrowseDirButton.SetBounds(TBounds{404, 30, 25, 25});
  BrowseDirButton.SetCaption("...");
  BrowseDirButton.Hint = "Browse";
  llSpaceRequired.SetBounds(TBounds{8, 72, 393, 13});
  llSpaceAvailable.SetBounds(TBounds{8, 90, 393, 13});
  ProgressBar1.SetBounds(TBounds{8, 16, 409, 17});
  ProgressBar1.Hint = "File";
  llFileName.SetBounds(TBounds{8, 35, 409, 13});
  ProgressBar2.SetBounds(TBounds{8, 48, 409, 17});
  ProgressBar2.Hint = "Total";
  llFileCount.SetBounds(TBounds{8, 67, 409, 13});
  llOutcome.SetBounds(TBounds{8, 96, 409, 13});
  Bevel1.SetBounds(TBounds{8, 272, 449, 2});
  BackButton.SetBounds(TBounds{200, 288, 73, 25});
  BackButton.SetCaption("<< Back");
  BackButton.SetEnabled(false);
  NextButton.SetBounds(TBounds{284, 288, 69, 25});
  NextButton.SetCaption("Next >>");
  NextButton.Default = true;
  ExitButton.SetBounds(TBounds{384, 288, 73, 25});
  ExitButton.SetCaption("Cancel");
  ExitButton.Cancel = true;

  TInstallation::ConfigureArchive(Zipper);
  Zipper.OnFilePercentDone = [this](base::TObject& sender, std::int32_t percent) { ZipperFilePercentDone(sender, percent); };
  Zipper.OnTotalPercentDone = [this](base::TObject& sender, std::int32_t percent) { ZipperTotalPercentDone(sender, percent); };

  OnShow = [this](platform::TControl& sender) { FormShow(sender); };
  OnCloseQuery = [this](platform::TControl& sender, bool& canClose) { FormCloseQuery(sender, canClose); };
  NextButton.OnClick = [this](platform::TControl& sender) { NextButtonClick(sender); };
  BackButton.OnClick = [this](platform::TControl& sender) { BackButtonClick(sender); };
  ExitButton.OnClick = [this](platform::TControl& sender) { ExitButtonClick(sender); };
  BrowseDirButton.OnClick = [this](platform::TControl& sender) { BrowseDirButtonClick(sender); };
  EditDir.OnChange = [this](platform::TControl& sender) { EditDirChange(sender); };
}

void TInstallForm::FormShow(platform::TControl&) {
  FSkipExitQuery = false;
  // A run cut short is put right before this one changes anything.
  TInstallation::RecoverInterrupted(*this);
  EditDir.SetText(FPresetDirectory.empty() ? TInstallation::DefaultDirectory() : FPresetDirectory);
  // Byte for byte: "U", "/u" or "-u" install.
  if (!FArguments.empty() && FArguments.front() == UninstallArgument) DoUninstall();
  llStepInfo.SetCaption(WelcomeStep);
  Panel5.Hide();
  Panel3.Hide();
  Panel2.Show();
}

void TInstallForm::FormCloseQuery(platform::TControl&, bool& CanClose) {
  if (FSkipExitQuery) return;
  CanClose = Ask("Do you really want to exit?");
  // An exit during the copy cancels it: the window stays until what was copied is undone.
  if (CanClose && FRunning != nullptr) {
    FRunning->Cancel();
    CanClose = false;
  }
}

void TInstallForm::NextButtonClick(platform::TControl&) {
  BackButton.SetEnabled(true);
  if (Panel2.Visible()) {
    Panel2.Hide();
    Panel3.Show();
    llStepInfo.SetCaption(DirectoryStep);
    NextButton.SetCaption("Copy >>");
    ShowSpace();
  } else if (Panel3.Visible()) {
    Panel3.Hide();
    Panel5.Show();
    NextButton.Hide();
    BackButton.Hide();
    // Cancel stays through the copy: it stops and undoes it.
    llStepInfo.SetCaption("Install...");
    DoInstall();
  }
}

void TInstallForm::BackButtonClick(platform::TControl&) {
  if (!Panel3.Visible()) return;
  Panel3.Hide();
  Panel2.Show();
  llStepInfo.SetCaption(WelcomeStep);
  NextButton.SetCaption("Next >>");
}

void TInstallForm::ExitButtonClick(platform::TControl&) {
  // After a failure the button reads "Close": nothing is left running to ask about.
  if (FFailed) FSkipExitQuery = true;
  Close();
}

void TInstallForm::EditDirChange(platform::TControl&) {
  if (Panel3.Visible()) ShowSpace();
}

bool TInstallForm::ShowSpace() {
  if (!FSpaceRequiredRead) {
    FSpaceRequired = TInstallation::SpaceRequired(Zipper);
    FSpaceRequiredRead = true;
  }
  const std::string directory = EditDir.Text();
  // Plain values, not optionals: what cannot be told reads "unknown" and refuses nothing, the
  // copy then finds out for itself.
  std::uint64_t required = 0;
  std::uint64_t available = 0;
  const bool requiredKnown = FSpaceRequired.has_value();
  if (requiredKnown) required = *FSpaceRequired;
  bool availableKnown = false;
  if (TInstallation::AcceptsDirectory(directory)) {
    if (const std::optional<std::uint64_t> free = platform::DiskFreeBytes(directory)) {
      available = *free;
      availableKnown = true;
    }
  }
  llSpaceRequired.SetCaption("Space required: " + (requiredKnown ? SizeText(required) : std::string("unknown")));
  llSpaceAvailable.SetCaption("Space available: " + (availableKnown ? SizeText(available) : std::string("unknown")));
  return !requiredKnown || !availableKnown || required <= available;
}

void TInstallForm::ShowFailure(const std::string& message) {
  FFailed = true;
  llStepInfo.SetCaption("Installation failed");
  llOutcome.SetCaption(FirstLine(message));
  ExitButton.SetCaption("Close");
  ExitButton.Show();
}

void TInstallForm::BrowseDirButtonClick(platform::TControl&) {
  // Whatever the picker gives, a cancel included, replaces the field.
  EditDir.SetText(platform::BrowseForFolder("Select Directory"));
}

void TInstallForm::ZipperFilePercentDone(base::TObject&, std::int32_t Percent) { ProgressBar1.SetPosition(Percent); }

void TInstallForm::ZipperTotalPercentDone(base::TObject&, std::int32_t Percent) { ProgressBar2.SetPosition(Percent); }

void TInstallForm::DoInstall() {
  const std::string directory = EditDir.Text();
  if (!TInstallation::AcceptsDirectory(directory)) {
    Tell("Please choose the full path of the installation directory, for example "
         "C:\\Program Files\\Qel\\Qel Orvane.",
         AttentionCaption, TNoticeKind::nkInformation);
    ReturnToDirectoryPage();
    return;
  }
  if (!ShowSpace()) {
    Tell("There is not enough free space on the drive of " + directory + ". " + llSpaceRequired.Caption() + ", " +
             llSpaceAvailable.Caption() + ".\r\n\r\nChoose a folder on another drive, or make room on this one.",
         AttentionCaption, TNoticeKind::nkInformation);
    ReturnToDirectoryPage();
    return;
  }
  TInstallation installation(Zipper, directory, FProgramFile, *this, *this);
  try {
    {
      // Only the copy lets messages in: an exit then reaches the installation through FRunning.
      struct TRunning {
        TInstallation*& Slot;
        ~TRunning() { Slot = nullptr; }
      } running{FRunning};
      FRunning = &installation;
      installation.Extract();
    }
    ExitButton.Hide();
    if (installation.Cancelled()) {
      installation.RollBack();
      FSkipExitQuery = true;
      Close();
      return;
    }
    // From here on the suite is on disk: a close needs no confirmation.
    FSkipExitQuery = true;
    installation.PutInPlace();
  } catch (...) {
    // First, while the system's last error is still the failure's own.
    const TExitStatus status = StatusOfError(std::current_exception(), TExitStatus::esRolledBack);
    const std::string message = ErrorText(std::current_exception());
    SetupLog().Error(message);
    // Half a suite helps nobody: what was changed is undone before the error is shown, and the
    // page then says what failed and offers the way out.
    installation.RollBack();
    ShowFailure(message);
    ExitCode = installer::ExitCode(status);
    throw;
  }
  // The suite stands from here on, entries lost or not; the loss report names them.
  ClosingNote = std::string(SuiteName) + " was installed in " + directory +
                (installation.LostEntries().empty() ? "." : ", but not completely.");
  installation.Conclude();
  ExitCode = installer::ExitCode(installation.Outcome());
  Close();
}

void TInstallForm::ReturnToDirectoryPage() {
  Panel5.Hide();
  Panel3.Show();
  NextButton.Show();
  BackButton.Show();
  ExitButton.Show();
  llStepInfo.SetCaption(DirectoryStep);
}

void TInstallForm::DoUninstall() {
  FSkipExitQuery = true;
  TUninstallation uninstallation(FProgramFile, *this, this);
  if (uninstallation.Confirm()) {
    // The progress page shows the removal moving.
    Panel2.Hide();
    Panel3.Hide();
    Panel5.Show();
    NextButton.Hide();
    BackButton.Hide();
    ExitButton.Hide();
    llStepInfo.SetCaption("Uninstall...");
    try {
      uninstallation.Run();
    } catch (...) {
      ExitCode = installer::ExitCode(StatusOfError(std::current_exception(), TExitStatus::esWriteFailed));
      SetupLog().Error(ErrorText(std::current_exception()));
      Close();
      throw;
    }
    ExitCode = installer::ExitCode(uninstallation.Outcome());
  }
  Close();
}

void TInstallForm::FileStarted(const std::string& name, std::int32_t number, std::int32_t count) {
  llFileName.SetCaption(name);
  llFileCount.SetCaption(std::to_string(number) + " of " + std::to_string(count));
}

void TInstallForm::FilePercentDone(std::int32_t percent) { ZipperFilePercentDone(Zipper, percent); }

void TInstallForm::TotalPercentDone(std::int32_t percent) { ZipperTotalPercentDone(Zipper, percent); }

bool TInstallForm::Ask(const std::string& question) {
  return platform::ShowMessageBox(question, AttentionCaption, platform::mbOKCancel | platform::mbIconInformation) ==
         platform::idOK;
}

void TInstallForm::Tell(const std::string& notice, const std::string& caption, TNoticeKind kind) {
  if (kind == TNoticeKind::nkError) {
    SetupLog().Error(notice);
  } else {
    SetupLog().Notice(notice);
  }
  const std::uint32_t icon = kind == TNoticeKind::nkError ? platform::mbIconStop : platform::mbIconInformation;
  platform::ShowMessageBox(notice, caption, platform::mbOK | icon);
}

}  // namespace qel::installer
