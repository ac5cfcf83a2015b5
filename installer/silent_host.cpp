#include "installer/silent_host.h"

#include "installer/installation.h"
#include "installer/setup_log.h"
#include "installer/uninstallation.h"
#include "platform/disk_space.h"
#include "platform/ui.h"

namespace qel::installer {

TSilentHost::TSilentHost(std::string programFile) : FProgramFile(std::move(programFile)) {
  // Whatever would still ask the user (the platform's own boxes, an error box) is answered as a
  // cancel and logged, never shown.
  platform::RunUnattended([](const platform::TShownDialog& shown) {
    SetupLog().Notice("not shown (" + shown.Kind + "): " + shown.Caption + ": " + shown.Text);
  });
  TInstallation::ConfigureArchive(FArchive);
  // Nothing to repaint.
  FArchive.SetDoProcessMessages(false);
  // The component asks with boxes of its own where no handler answers: each gets one. The
  // installation assigns its own for the extraction; these hold outside it.
  FArchive.OnPromptForOverwrite = [](base::TObject&, bool& overwrite, std::int32_t, std::string&) { overwrite = true; };
  // No password is known here: the entry is skipped, and reported as lost.
  FArchive.OnBadPassword = [](base::TObject&, std::int32_t, std::string&) {};
  FArchive.OnSkippingFile = [](base::TObject&, archive::TSkipReason, std::int32_t) {};
}

TExitStatus TSilentHost::Install(const std::string& directory) {
  try {
    TInstallation::RecoverInterrupted(*this);
    return InstallInto(directory.empty() ? TInstallation::DefaultDirectory() : directory);
  } catch (...) {
    // Before anything was changed (the registry's program folder could not be read).
    const TExitStatus status = StatusOfError(std::current_exception(), TExitStatus::esRolledBack);
    SetupLog().Error(ErrorText(std::current_exception()));
    return status;
  }
}

TExitStatus TSilentHost::InstallInto(const std::string& directory) {
  SetupLog().Line("installing into " + directory);
  if (!TInstallation::AcceptsDirectory(directory)) {
    SetupLog().Error("\"" + directory + "\" is not the full path of a folder (C:\\... or \\\\server\\...).");
    return TExitStatus::esWriteFailed;
  }
  const std::optional<std::uint64_t> required = TInstallation::SpaceRequired(FArchive);
  const std::optional<std::uint64_t> available = platform::DiskFreeBytes(directory);
  if (required && available && *required > *available) {
    SetupLog().Error("There is not enough free space on the drive of " + directory + ": " + std::to_string(*required) +
                     " bytes required, " + std::to_string(*available) + " available.");
    return TExitStatus::esWriteFailed;
  }
  TInstallation installation(FArchive, directory, FProgramFile, *this, *this);
  try {
    installation.Extract();
    installation.PutInPlace();
  } catch (...) {
    // First, while the system's last error is still the failure's own.
    const TExitStatus status = StatusOfError(std::current_exception(), TExitStatus::esRolledBack);
    SetupLog().Error(ErrorText(std::current_exception()));
    installation.RollBack();
    return status;
  }
  installation.Conclude();
  return installation.Outcome();
}

TExitStatus TSilentHost::Uninstall() {
  SetupLog().Line("uninstalling from " + FProgramFile);
  try {
    TInstallation::RecoverInterrupted(*this);
    TUninstallation uninstallation(FProgramFile, *this);
    uninstallation.Run();
    return uninstallation.Outcome();
  } catch (...) {
    const TExitStatus status = StatusOfError(std::current_exception(), TExitStatus::esWriteFailed);
    SetupLog().Error(ErrorText(std::current_exception()));
    return status;
  }
}

// The log has a line for every file written: the progress adds nothing to it.
void TSilentHost::FileStarted(const std::string&, std::int32_t, std::int32_t) {}
void TSilentHost::FilePercentDone(std::int32_t) {}
void TSilentHost::TotalPercentDone(std::int32_t) {}

bool TSilentHost::Ask(const std::string& question) {
  SetupLog().Notice("not asked, answered Cancel: " + question);
  return false;
}

void TSilentHost::Tell(const std::string& notice, const std::string&, TNoticeKind kind) {
  if (kind == TNoticeKind::nkError) {
    SetupLog().Error(notice);
  } else {
    SetupLog().Notice(notice);
  }
}

}  // namespace qel::installer
