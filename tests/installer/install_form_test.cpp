#include "installer/install_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "installer/registry_cursor.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "support/exception_message.h"
#include "support/scratch.h"
#include "support/zip_builder.h"

namespace qel::installer {
namespace {

using platform::TDialogScript;
using testing::ScratchDir;
using TNames = std::vector<std::string>;

std::string ProgramFilesDir() {
  TRegistryCursor registry;
  registry.SetRootKey(platform::RegistryLocalMachine);
  registry.OpenKey("SOFTWARE\\Microsoft\\Windows", false);
  return registry.ReadString("CurrentVersion", "ProgramFilesDir", "C:");
}

std::string MenuFolder() {
  std::string programs;
  EXPECT_TRUE(platform::GetProgramsFolder(programs));
  return programs + "\\Qel\\Qel Orvane";
}

std::string UninstallEntry(const std::string& name) {
  TRegistryCursor registry;
  registry.SetRootKey(platform::RegistryLocalMachine);
  registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false);
  return registry.ReadString("Qel Orvane", name, "<none>");
}

std::string ProgramPath() {
  TRegistryCursor registry;
  registry.OpenKey("Qel\\Qel Orvane", false);
  return registry.ReadString("Option", "Program Path", "<none>");
}

std::vector<std::string> MessageTexts() {
  std::vector<std::string> texts;
  for (const platform::TShownDialog& shown : TDialogScript::Shown()) texts.push_back(shown.Text);
  return texts;
}

// A scratch folder holding image.zip and a stand-in for the installer's own file, made the
// current directory; dialogs are scripted. The suite's traces in the registry and the Start
// menu are removed afterwards.
class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InitializeShellServices());
    FPreviousDir = platform::GetCurrentDir();
    testing::ZipBuilder image;
    image.AddStored("DoVra.exe", "main program");
    image.AddStored("Docs/", "");
    image.AddStored("Docs/readme.txt", "read me");
    const testing::Bytes bytes = image.Build();
    FSource.Write("image.zip", std::string(bytes.begin(), bytes.end()));
    FSource.Write("Install.exe", "the installer");
    ASSERT_TRUE(platform::SetCurrentDir(FSource.Path()));
    TDialogScript::Start();
  }
  void TearDown() override {
    TDialogScript::Stop();
    platform::SetCurrentDir(FPreviousDir);
    std::string list = MenuFolder();
    list += '\0';
    list += '\0';
    platform::ShellFileOperation(0, platform::foDelete, list, "", platform::fofNoConfirmation | platform::fofSilent, "");
    TRegistryCursor user;
    user.DeleteKey("Qel");
    TRegistryCursor machine;
    machine.SetRootKey(platform::RegistryLocalMachine);
    machine.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false);
    machine.DeleteKey("Qel Orvane");
  }

  std::string InstallDir() const { return FTarget.Path() + "Suite"; }

  // Walks the wizard to the end with the given directory; the completion question gets answer.
  void Install(TInstallForm& form, const std::string& directory, int answer = platform::idCancel) {
    form.ShowForm();
    form.NextButton.Click();
    form.EditDir.SetText(directory);
    TDialogScript::PushAnswer(answer);
    form.NextButton.Click();
  }

  ScratchDir FSource;
  ScratchDir FTarget;
  std::string FPreviousDir;
};

TEST_F(InstallerTest, TheWizardWalksItsPagesWithNextBackAndCancel) {
  TInstallForm form({}, FSource.Path() + "Install.exe");
  form.ShowForm();
  EXPECT_EQ(form.EditDir.Text(), ProgramFilesDir() + "\\Qel\\Qel Orvane");
  EXPECT_TRUE(form.Panel2.Showing());
  EXPECT_FALSE(form.Panel3.Showing());
  EXPECT_FALSE(form.Panel5.Showing());
  EXPECT_FALSE(form.BackButton.Enabled());

  form.BackButton.Click();  // disabled: nothing happens
  form.NextButton.Click();
  EXPECT_TRUE(form.Panel3.Showing());
  EXPECT_EQ(form.llStepInfo.Caption(), "Select directory");
  EXPECT_EQ(form.NextButton.Caption(), "Copy >>");
  form.EditDir.SetText("D:\\Chosen");
  form.BackButton.Click();
  EXPECT_TRUE(form.Panel2.Showing());
  EXPECT_EQ(form.NextButton.Caption(), "Next >>");
  EXPECT_EQ(form.llStepInfo.Caption(), "Welcome to Qel Orvane Installation");
  form.BackButton.Click();
  EXPECT_TRUE(form.Panel2.Showing()) << "Back on the welcome page does nothing";
  EXPECT_TRUE(form.BackButton.Enabled());
  form.NextButton.Click();
  EXPECT_EQ(form.EditDir.Text(), "D:\\Chosen");

  // Cancel asks; only OK closes.
  TDialogScript::PushAnswer(platform::idCancel);
  form.ExitButton.Click();
  EXPECT_FALSE(form.CloseRequested());
  EXPECT_TRUE(form.Panel3.Showing());
  TDialogScript::PushAnswer(platform::idOK);
  form.ExitButton.Click();
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(MessageTexts(), (TNames{"Do you really want to exit?", "Do you really want to exit?"}));
  EXPECT_EQ(TDialogScript::Shown()[0].Caption, "Attention");
  EXPECT_EQ(TDialogScript::Shown()[0].Flags, platform::mbOKCancel | platform::mbIconInformation);
}

TEST_F(InstallerTest, TheFolderPickerReplacesTheFieldEvenWhenCancelled) {
  TInstallForm form({}, FSource.Path() + "Install.exe");
  form.ShowForm();
  form.NextButton.Click();
  TDialogScript::PushChoice(std::string("E:\\Picked"));
  form.BrowseDirButton.Click();
  EXPECT_EQ(form.EditDir.Text(), "E:\\Picked");
  TDialogScript::PushChoice(std::nullopt);
  form.BrowseDirButton.Click();
  EXPECT_EQ(form.EditDir.Text(), "");
}

TEST_F(InstallerTest, InstallPutsEverythingInPlace) {
  TInstallForm form({}, FSource.Path() + "Install.exe");
  Install(form, InstallDir());
  ASSERT_TRUE(form.CloseRequested());
  EXPECT_TRUE(form.SkipExitQuery());
  EXPECT_EQ(FTarget.Read("Suite\\DoVra.exe"), "main program");
  EXPECT_EQ(FTarget.Read("Suite\\Docs\\readme.txt"), "read me");
  EXPECT_EQ(FTarget.Read("Suite\\Install.exe"), "the installer");
  EXPECT_EQ(FTarget.Read("Suite\\install.dat"), "DoVra.exe\r\nDocs\\\r\nDocs\\readme.txt\r\n");
  EXPECT_EQ(form.ProgressBar2.Position(), 100);

  const TNames links = {"Pixet.lnk", "Qel Dayvo.lnk", "Qel Dovra.lnk", "Qel Farrow.lnk", "Qel Lantern.lnk",
                        "Qel Marken.lnk", "Qel Scrivo.lnk", "Qel Zonda.lnk", "Uninstall.lnk"};
  for (const std::string& link : links) EXPECT_TRUE(platform::FileExists(MenuFolder() + "\\" + link)) << link;

  EXPECT_EQ(UninstallEntry("DisplayName"), "Qel Orvane");
  EXPECT_EQ(UninstallEntry("UninstallString"), InstallDir() + "\\Install.exe u");
  EXPECT_EQ(ProgramPath(), InstallDir() + "\\Dovra.exe");
  EXPECT_EQ(MessageTexts(), TNames{"Installation complete. Run Qel Dovra?"});

  // A second install into the same place replaces everything under the same names.
  TInstallForm again({}, FSource.Path() + "Install.exe");
  Install(again, InstallDir() + "\\");
  EXPECT_TRUE(again.CloseRequested());
  EXPECT_EQ(FTarget.Read("Suite\\install.dat"), "DoVra.exe\r\nDocs\\\r\nDocs\\readme.txt\r\n");
  EXPECT_FALSE(platform::FileExists(MenuFolder() + "\\Qel Dovra(1).lnk"));
}

TEST_F(InstallerTest, AnEmptyOrRelativeDirectoryIsRefusedBeforeAnythingIsWritten) {
  for (const std::string& directory : {std::string(), std::string("Suite")}) {
    TDialogScript::Start();
    TInstallForm form({}, FSource.Path() + "Install.exe");
    Install(form, directory);
    EXPECT_FALSE(form.CloseRequested()) << directory;
    EXPECT_TRUE(form.Panel3.Showing()) << "back on the directory page";
    EXPECT_TRUE(form.NextButton.Showing());
    ASSERT_EQ(TDialogScript::Shown().size(), 1u);
    EXPECT_NE(TDialogScript::Shown()[0].Text.find("full path"), std::string::npos);
    EXPECT_EQ(FSource.Names(), (TNames{"Install.exe", "image.zip"})) << directory;
  }
}

TEST_F(InstallerTest, AMissingArchiveEndsTheInstallWithTheExitQuestionStillOn) {
  ASSERT_TRUE(platform::DeleteFile(FSource.Path() + "image.zip"));
  TInstallForm form({}, FSource.Path() + "Install.exe");
  EXPECT_ANY_THROW(Install(form, InstallDir()));
  EXPECT_FALSE(form.SkipExitQuery());
  EXPECT_TRUE(form.Panel5.Showing());
  EXPECT_FALSE(form.NextButton.Showing());
  EXPECT_EQ(UninstallEntry("DisplayName"), "<none>");
}

TEST_F(InstallerTest, UninstallRemovesWhatTheInstallPutThere) {
  {
    TInstallForm form({}, FSource.Path() + "Install.exe");
    Install(form, InstallDir());
    ASSERT_TRUE(form.CloseRequested());
  }
  FTarget.Write("Suite\\mine.txt", "the user's");
  TDialogScript::Start();
  TDialogScript::PushAnswer(platform::idOK);
  TInstallForm form({"u"}, InstallDir() + "\\Install.exe");
  form.ShowForm();
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(MessageTexts(), (TNames{"You really want to remove Qel Orvane?", "Uninstalling is completed."}));
  EXPECT_EQ(TDialogScript::Shown()[1].Caption, "Qel Orvane!");
  EXPECT_EQ(FTarget.Names("Suite"), (TNames{"Docs", "Install.exe", "mine.txt"}));
  EXPECT_TRUE(FTarget.Names("Suite\\Docs").empty());
  EXPECT_FALSE(platform::DirectoryExists(MenuFolder()));
  EXPECT_EQ(UninstallEntry("DisplayName"), "<none>");
  EXPECT_EQ(ProgramPath(), InstallDir() + "\\Dovra.exe") << "the per-user value stays";

  // A second run finds no manifest: the notice, then the error.
  TDialogScript::Start();
  TDialogScript::PushAnswer(platform::idOK);
  TInstallForm twice({"u"}, InstallDir() + "\\Install.exe");
  const std::string message = testing::MessageOf<base::EFOpenError>([&] { twice.ShowForm(); });
  EXPECT_NE(message.find("Cannot open file"), std::string::npos) << message;
  EXPECT_EQ(MessageTexts(), (TNames{"You really want to remove Qel Orvane?", "Uninstalling is completed."}));
  EXPECT_TRUE(twice.CloseRequested());
}

TEST_F(InstallerTest, UninstallDeclinedChangesNothing) {
  FTarget.Write("Suite\\install.dat", "a.exe\r\n");
  FTarget.Write("Suite\\a.exe", "a");
  TInstallForm form({"u"}, InstallDir() + "\\Install.exe");
  TDialogScript::PushAnswer(platform::idCancel);
  form.ShowForm();
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(MessageTexts(), TNames{"You really want to remove Qel Orvane?"});
  EXPECT_EQ(FTarget.Names("Suite"), (TNames{"a.exe", "install.dat"}));
  // Only a lower-case "u" alone uninstalls.
  for (const char* argument : {"U", "/u", "-u"}) {
    TDialogScript::Start();
    TInstallForm other({argument}, InstallDir() + "\\Install.exe");
    other.ShowForm();
    EXPECT_FALSE(other.CloseRequested()) << argument;
    EXPECT_TRUE(other.Panel2.Showing()) << argument;
  }
}

// The manifest lists what the archive held; a line that climbs out of the program folder
// must not take files elsewhere with it.
TEST_F(InstallerTest, UninstallDeletesNothingOutsideTheProgramFolder) {
  FTarget.Write("outside.txt", "keep");
  FTarget.Write("Suite\\a.exe", "a");
  FTarget.Write("Suite\\install.dat", "a.exe\r\n..\\outside.txt\r\n...\\outside.txt\r\n" + FTarget.Path() +
                                          "outside.txt\r\n\r\nDocs\\\r\n");
  TDialogScript::PushAnswer(platform::idOK);
  TInstallForm form({"u"}, InstallDir() + "\\Install.exe");
  form.ShowForm();
  EXPECT_EQ(FTarget.Read("outside.txt"), "keep");
  EXPECT_EQ(FTarget.Names("Suite"), TNames{});
}

}  // namespace
}  // namespace qel::installer
