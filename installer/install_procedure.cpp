// The work behind the last wizard step: extraction, Start menu, self-copy, manifest,
// registration and the offer to start the main program.
#include <array>
#include <string>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"
#include "installer/file_utilities.h"
#include "installer/install_form.h"
#include "installer/registry_cursor.h"
#include "installer/shortcut.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui.h"

namespace qel::installer {

namespace {

struct TShortcutRow {
  const char* LinkName;
  const char* TargetFile;
};

// The suite's programs in the Start menu, in the order they are created.
constexpr std::array<TShortcutRow, 8> SuiteShortcuts = {{
    {"Qel Dovra", "DoVra.exe"},
    {"Pixet", "QelPixet.exe"},
    {"Qel Farrow", "QelFarrow.exe"},
    {"Qel Marken", "QelMarken.exe"},
    {"Qel Zonda", "QelZonda.exe"},
    {"Qel Dayvo", "QelDayvo.exe"},
    {"Qel Scrivo", "QelScrivo.exe"},
    {"Qel Lantern", "qellantern.url"},
}};

constexpr const char* FallbackProgramsFolder = "C:\\WINDOWS\\Main menu\\Programs";
constexpr const char* ManifestName = "install.dat";
constexpr const char* MainProgram = "Dovra.exe";

// One level, as the shell's folders are made; the error carries the system's code.
void EnsureFolder(const std::string& folder) {
  if (platform::DirectoryExists(folder) || platform::CreateDir(folder)) return;
  const auto code = static_cast<int>(platform::LastErrorCode());
  throw base::EInOutError(
      base::Format("Cannot create the folder \"%s\". %s (error %d)", {folder, platform::LastErrorText(), code}), code);
}

void ReplaceShortcut(const std::string& target, const std::string& linkName, const std::string& arguments) {
  const std::string existing = linkName + ".lnk";
  if (platform::FileExists(existing)) platform::DeleteFile(existing);  // a link that stays gets a numbered name
  CreateShortcut(target, linkName, arguments);
}

// A full path names a drive ("C:\...") or a network share ("\\server\...").
bool IsFullPath(const std::string& directory) {
  if (directory.size() >= 3 && directory[1] == ':' && directory[2] == '\\') return true;
  return directory.size() >= 3 && directory[0] == '\\' && directory[1] == '\\';
}

}  // namespace

std::string TInstallForm::MenuFolder() {
  std::string programs;
  std::string folder = platform::GetProgramsFolder(programs) ? programs + "\\Qel" : FallbackProgramsFolder;
  EnsureFolder(folder);
  folder += "\\Qel Orvane";
  EnsureFolder(folder);
  return folder;
}

void TInstallForm::WriteManifest(const std::string& installDir) {
  base::TStringList& lines = Zipper.FilesList();
  lines.Clear();
  for (std::int32_t i = 0; i < Zipper.Count(); ++i) lines.Add(Zipper.Pathname(i) + Zipper.Filename(i));
  lines.SaveToFile(installDir + ManifestName);
}

void TInstallForm::RegisterSuite(const std::string& installDir, const std::string& ownName) {
  {
    TRegistryCursor registry;
    registry.SetRootKey(platform::RegistryLocalMachine);
    for (const char* key : {"Software", "Microsoft", "Windows", "CurrentVersion", "Uninstall"}) {
      registry.OpenKey(key, true);
    }
    registry.WriteString("Qel Orvane", "DisplayName", "Qel Orvane");
    registry.WriteString("Qel Orvane", "UninstallString", installDir + ownName + " u");
  }
  TRegistryCursor registry;
  registry.OpenKey("Qel", true);
  registry.OpenKey("Qel Orvane", true);
  registry.WriteString("Option", "Program Path", installDir + MainProgram);
}

void TInstallForm::DoInstall() {
  const std::string directory = EditDir.Text();
  if (!IsFullPath(directory)) {
    // Extracting into an empty or relative directory would scatter the suite wherever the
    // program happens to run: go back to the directory page instead.
    platform::ShowMessageBox("Please choose the full path of the installation directory, for example "
                             "C:\\Program Files\\Qel\\Qel Orvane.",
                             "Attention", platform::mbOK | platform::mbIconInformation);
    Panel5.Hide();
    Panel3.Show();
    NextButton.Show();
    BackButton.Show();
    ExitButton.Show();
    llStepInfo.SetCaption("Select directory");
    return;
  }
  const std::string installDir = base::IncludeTrailingBackslash(directory);

  Zipper.SetDestDir(directory);
  Zipper.UnZip();
  FSkipExitQuery = true;

  const std::string menu = MenuFolder();
  for (const TShortcutRow& row : SuiteShortcuts) {
    ReplaceShortcut(directory + "\\" + row.TargetFile, menu + "\\" + row.LinkName, "");
  }
  const std::string& ownFile = FProgramFile;
  CopyFileTo(ownFile, installDir);
  WriteManifest(installDir);
  ReplaceShortcut(directory + "\\Install.exe", menu + "\\Uninstall", "u");
  RegisterSuite(installDir, base::ExtractFileName(ownFile));

  if (platform::ShowMessageBox("Installation complete. Run Qel Dovra?", "Attention",
                               platform::mbOKCancel | platform::mbIconInformation) == platform::idOK) {
    platform::ShellExecute(0, MainProgram, "", directory);
  }
  Close();
}

}  // namespace qel::installer
